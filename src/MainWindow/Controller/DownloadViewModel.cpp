#include "MainWindow/Controller/DownloadViewModel.h"

#include "service/DownloadManager.h"

DownloadViewModel::DownloadViewModel(QObject* parent) : LibraryViewModel(parent) {}

int DownloadViewModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid())
        return 0;
    return static_cast<int>(DownloadManager::shared().progressArray().size());
}

QVariant DownloadViewModel::data(const QModelIndex& index, int role) const {
    const auto& items = DownloadManager::shared().progressArray();
    if (!index.isValid() || index.row() >= static_cast<int>(items.size()))
        return {};
    const VideoDetail& video = items[static_cast<size_t>(index.row())]->videoInfo;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return video.title;
    case SignRole:
        return video.sign;
    case VideoRole:
        return QVariant::fromValue(video);
    default:
        return {};
    }
}
