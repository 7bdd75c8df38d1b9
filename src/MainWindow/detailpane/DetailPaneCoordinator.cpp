#include "MainWindow/detailpane/DetailPaneCoordinator.h"

#include "service/DownloadManager.h"
#include "MainWindow/library/LocalLibraryIndex.h"

DetailPaneCoordinator::DetailPaneCoordinator(const MainParts& parts, Hooks hooks, QObject* parent)
    : QObject(parent), parts_(parts), hooks_(std::move(hooks)) {}

void DetailPaneCoordinator::forwardVideoDetail(const std::optional<VideoDetail>& detail) {
    QMetaObject::invokeMethod(
        this,
        [this, detail] {
            if (videoDetailDidChanged_)
                videoDetailDidChanged_(detail);
        },
        Qt::QueuedConnection);
}

void DetailPaneCoordinator::authorClicked(const QString& author) {
    hooks_.searchByAuthor(author);
}

void DetailPaneCoordinator::downloadVideo(const VideoDetail& detail) {
    if (parts_.downloads().isDownloading(detail.sign)) {
        showDownloadList();
        return;
    }
    if (!parts_.library().contains(detail.sign))
        parts_.downloads().addDownload(detail);
    hooks_.reloadList();
}

void DetailPaneCoordinator::setAsWallpaper(const QString& sign) {
    hooks_.playVideo(sign);
}

void DetailPaneCoordinator::showDownloadList() {
    hooks_.showDownloadList();
}
