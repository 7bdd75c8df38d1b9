#include "MainWindow/downloads/DownloadViewModel.h"

#include "service/DownloadManager.h"
#include "shared/TextHelpers.h"

DownloadViewModel::DownloadViewModel(const MainParts& parts, QObject* parent) : LibraryViewModel(parts, parent) {
    DownloadManager& q = this->queue();
    // Rows are read from the queue itself, so a change of its length is a reset of ours.
    connect(&q, &DownloadManager::downloadAdded, this, [this] {
        beginResetModel();
        endResetModel();
    });
    connect(&q, &DownloadManager::downloadRemoved, this, [this] {
        beginResetModel();
        endResetModel();
    });
    connect(&q, &DownloadManager::downloadStatusChanged, this, [this](DownloadItem* item) { itemChanged(item); });
}

DownloadManager& DownloadViewModel::queue() const {
    return parts_.downloads();
}

std::shared_ptr<DownloadItem> DownloadViewModel::itemAt(int row) const {
    const auto& items = queue().progressArray();
    if (row < 0 || row >= static_cast<int>(items.size()))
        return nullptr;
    return items[static_cast<size_t>(row)];
}

int DownloadViewModel::rowOf(const DownloadItem* item) const {
    const auto& items = queue().progressArray();
    for (size_t row = 0; row < items.size(); ++row)
        if (items[row].get() == item)
            return static_cast<int>(row);
    return -1;
}

void DownloadViewModel::itemChanged(const DownloadItem* item) {
    const int row = rowOf(item);
    if (row >= 0)
        emit dataChanged(index(row), index(row));
}

int DownloadViewModel::videoCount() const {
    return static_cast<int>(queue().progressArray().size());
}

int DownloadViewModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : videoCount();
}

QVariant DownloadViewModel::data(const QModelIndex& index, int role) const {
    const auto item = index.isValid() ? itemAt(index.row()) : nullptr;
    if (!item)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole: return shownText(item->videoInfo.title);
    case SignRole: return item->videoInfo.sign;
    case VideoRole: return QVariant::fromValue(item->videoInfo);
    case ItemRole: return QVariant::fromValue(static_cast<void*>(item.get()));
    default: return {};
    }
}
