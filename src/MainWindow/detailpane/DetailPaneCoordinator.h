#pragma once
#include "MainWindow/detailpane/VideoDetailViewDelegate.h"
#include "MainWindow/startup/MainParts.h"

#include <QObject>
#include <functional>

// Between the library screen and its detail pane: every list's selection reaches the pane on the
// next turn of the event loop, and the pane's requests (the author's videos, a download, the
// wallpaper, the download list) go to the screen's parts.
class DetailPaneCoordinator : public QObject, public VideoDetailViewDelegate {
    Q_OBJECT
public:
    // What the pane's requests need of the screen.
    struct Hooks {
        std::function<void(const QString&)> searchByAuthor;  // in the online list
        std::function<void()> reloadList;                    // the list shown now
        std::function<void()> showDownloadList;
        std::function<void(const QString&)> playVideo;  // as the wallpaper
    };

    DetailPaneCoordinator(const MainParts& parts, Hooks hooks, QObject* parent = nullptr);

    // Called by every view model when its selected video changes.
    void forwardVideoDetail(const std::optional<VideoDetail>& detail);

    // VideoDetailViewDelegate
    DetailClosure& videoDetailDidChanged() override { return videoDetailDidChanged_; }
    void authorClicked(const QString& author) override;
    // Queues the video's download (never twice, never one in the library) and reloads the list.
    void downloadVideo(const VideoDetail& detail) override;
    void setAsWallpaper(const QString& sign) override;
    void showDownloadList() override;

private:
    MainParts parts_;
    Hooks hooks_;
    DetailClosure videoDetailDidChanged_;
};
