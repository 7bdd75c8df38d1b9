#pragma once
#include "MainWindow/library/CollectionPort.h"
#include "MainWindow/library/ImageLoader.h"
#include "MainWindow/startup/MainParts.h"
#include "shared/Disposable.h"
#include "shared/VideoDetail.h"

#include <QAbstractListModel>
#include <QHash>
#include <QSet>
#include <QImage>
#include <QList>
#include <QVariantMap>
#include <functional>
#include <optional>
#include <vector>

// The common base of the library list's three view models (local, online, downloads). The
// library screen binds one of them at a time to its one list (WQCollectionView): the bound model
// is the list's data and receives its selection, clicks and scroll reports, and it alone
// observes "reloadCollectionView.Notification". Everything runs on the main thread.
//
// Thumbnails are keyed by the video's `sign`: one load per sign, started when a row showing it
// is displayed and cancelled when no displayed row shows it any more; a finished picture reaches
// every row of that sign through dataChanged.
class LibraryViewModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role {
        SignRole = Qt::UserRole + 1,  // QString
        ThumbnailRole,                // QImage, absent while none is loaded (the cell shows the placeholder)
        VideoRole,                    // VideoDetail as QVariant
        BadgeRole,                    // QString: name of the picture over the thumbnail's corner, empty for none
    };

    // Posted (no user information) after every list refresh; the screen redraws its counter.
    static QString updateVideoAmountName() { return QStringLiteral("updateVideoAmount"); }
    // Posted by the download queue; {"sign": text} names one video.
    static QString reloadCollectionViewName() { return QStringLiteral("reloadCollectionView.Notification"); }
    static constexpr int kThumbnailCacheLimit = 500;
    // Pixels kept beyond the rows on screen: 500 thumbnails at twice a cell's size would be
    // 100 MB and more, and a long list filled them as it was scrolled.
    static constexpr qsizetype kThumbnailCacheBytes = 16 * 1024 * 1024;

    explicit LibraryViewModel(const MainParts& parts, QObject* parent = nullptr);
    ~LibraryViewModel() override;

    // The detail pane's refresh: called with the selected video, or none when nothing is shown.
    std::function<void(const std::optional<VideoDetail>&)> videoDetailDidChanged;

    CollectionPort* collectionView() const { return collectionView_; }
    qint64 totalVideoCount() const { return totalVideoCount_; }
    void setTotalVideoCount(qint64 count) { totalVideoCount_ = count; }

    // The videos shown, in display order; none before the first fill.
    const std::optional<std::vector<VideoDetail>>& videoList() const { return videoList_; }
    // Every assignment (also of the same list, also of none) is followed by reloadDataAsync.
    // A list that starts with the current one only appends rows (selection and scroll stay).
    void setVideoList(std::optional<std::vector<VideoDetail>> list);
    // Number of videos in the list (0 when none); the screen's counter reads it.
    virtual int videoCount() const;

    // Makes this model the one `view` shows, releasing the previous one completely.
    void bind(CollectionPort* view);
    // Leaves the list (no collection view, no observation, no running thumbnails).
    void unbind();

    // Full refresh that keeps the selection and reports it again (queued).
    virtual void reloadData();
    // Selects item 0 (or reports none) and posts "updateVideoAmount" (queued).
    void reloadDataAsync();
    void cancelThumbnailDownloads();
    // Removes the picture behind the list.
    void clearContainerImage();

    // Thumbnails finished so far, by sign: at most kThumbnailCacheLimit, and within
    // kThumbnailCacheBytes but for the rows on screen.
    const QHash<QString, QImage>& imageCache() const { return imageCache_; }
    bool isLoadingThumbnail(const QString& sign) const { return downloadTaskCache_.contains(sign); }
    qsizetype runningThumbnailCount() const { return downloadTaskCache_.size(); }

    // QAbstractListModel
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    // Reports of the list, made by WQCollectionView to the bound model.
    // Rows `first` to `last` (inclusive; first > last for none) are on screen now.
    virtual void displayedRowsChanged(int first, int last);
    virtual void didSelectRows(const std::vector<int>& rows);
    // A right click (or the menu key) on a row, or on the empty area when `row` is none.
    virtual void didRightClickItem(std::optional<int> row, QPoint globalPos);
    // A double click or Enter on a row (none: the empty area).
    virtual void didDoubleClickItem(std::optional<int> row);
    // Scrolling ended: a classic wheel step, or the list came near its end by any means.
    virtual void didEndScrolling();
    // The footer's line of text (empty: none).
    virtual QString footerText() const;
    // The list builds its cells anew (a reload): what a cell found out about its video is
    // asked again, a failed thumbnail included.
    virtual void cellsConfiguredAnew();
    // The reuse identifier of the cell that paints this model's rows.
    virtual QString cellIdentifier() const { return QStringLiteral("VideoItemCell"); }

protected:
    MainParts parts_;

    // Called by unbind before the model lets go of the list.
    virtual void willUnbind();
    // Where a row's picture is read from; none keeps the placeholder.
    virtual std::optional<QUrl> thumbnailAddress(const VideoDetail& video) const;
    // Redraws one row after the download queue named its video.
    virtual void refreshRow(int row);
    // The handler of "reloadCollectionView.Notification".
    void downloadVideoCompleteWithNotifi(const QVariantMap& userInfo);
    // Keeps a finished thumbnail; over the limit the oldest other entry goes.
    void cacheThumbnail(const QString& sign, const QImage& image);
    void reportSelectedVideo(int row);
    const VideoDetail* videoAt(int row) const;

private:
    void startThumbnail(const VideoDetail& video);
    void thumbnailArrived(const QString& sign, const QImage& image);
    void releaseView();
    ImageLoader& thumbnails() const { return parts_.images(); }

    friend class WQCollectionView;  // tells the model when the list goes away

    CollectionPort* collectionView_ = nullptr;
    qint64 totalVideoCount_ = 0;
    std::optional<std::vector<VideoDetail>> videoList_;
    QHash<QString, QImage> imageCache_;
    QList<QString> imageOrder_;  // insertion order of imageCache_
    qsizetype imageBytes_ = 0;   // the pixels of imageCache_
    QSet<QString> shownSigns_;   // the signs of the rows on screen at the last report
    QHash<QString, ImageLoader::Ticket> downloadTaskCache_;
    // Signs whose thumbnail failed since their cell was last configured: not asked for at every
    // repaint, only once the cell is configured again (a reload, or shown anew after scrolling away).
    QSet<QString> failedThumbnails_;
    DisposablePtr reloadObservation_;
};

Q_DECLARE_METATYPE(VideoDetail)
