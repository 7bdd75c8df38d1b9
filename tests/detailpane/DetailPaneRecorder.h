#pragma once
// The library screen's side of the detail pane, as a test sees it: what it was asked, in order.
#include "MainWindow/detailpane/VideoDetailViewDelegate.h"

#include <QStringList>

struct DetailPaneRecorder : VideoDetailViewDelegate {
    DetailClosure closure;
    QStringList log;
    DetailClosure& videoDetailDidChanged() override { return closure; }
    void authorClicked(const QString& author) override { log << "author " + author; }
    void downloadVideo(const VideoDetail& video) override { log << "download " + video.sign; }
    void setAsWallpaper(const QString& sign) override { log << "wallpaper " + sign; }
    void showDownloadList() override { log << "list"; }
};
