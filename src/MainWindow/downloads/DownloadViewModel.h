#pragma once
#include "MainWindow/library/LibraryViewModel.h"

#include <memory>

class DownloadItem;
class DownloadManager;

// The download tab: one row per pending download of the download queue, read anew on every
// call. The queue's reports keep the rows current while the tab is shown: an added or removed
// download resets the rows, a status change or progress step redraws its own row.
class DownloadViewModel : public LibraryViewModel {
    Q_OBJECT
public:
    enum Role { ItemRole = VideoRole + 32 };  // the row's DownloadItem* (as a pointer value)

    explicit DownloadViewModel(const MainParts& parts, QObject* parent = nullptr);

    DownloadManager& queue() const;
    std::shared_ptr<DownloadItem> itemAt(int row) const;

    int videoCount() const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QString cellIdentifier() const override { return QStringLiteral("DownloadItemCell"); }

private:
    int rowOf(const DownloadItem* item) const;
    void itemChanged(const DownloadItem* item);
};
