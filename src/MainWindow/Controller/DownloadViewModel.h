#pragma once
#include "MainWindow/Controller/LibraryViewModel.h"

// The download tab: one row per pending download of the download queue, read anew on every call.
class DownloadViewModel : public LibraryViewModel {
    Q_OBJECT
public:
    explicit DownloadViewModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QString cellIdentifier() const override { return QStringLiteral("DownloadItemCell"); }
};
