#pragma once
#include "MainWindow/library/LibraryViewModel.h"
#include "shared/CatalogueModels.h"

#include <QUrl>
#include <functional>
#include <optional>

class WebModel;
class DownloadManager;

// The online tab: pages of the web service's catalogue. The service client's latest request is
// the template of every request; the model writes the next page number into it when the list
// is scrolled near its end. Replies to requests that a newer one has replaced are dropped.
class WebLibraryViewModel : public LibraryViewModel {
    Q_OBJECT
public:
    enum class LoadStatus { none = 0, loading = 1, loadedAll = 2, failed = 3 };
    // The overlay over the list while the first page loads, and when it failed or was empty.
    struct Overlay {
        QString title;
        bool showRefreshButton = false;
    };
    // The next page is asked for when the visible bottom is less than this above the end.
    static constexpr double kLoadMoreDistance = 100.0;

    explicit WebLibraryViewModel(const MainParts& parts, QObject* parent = nullptr);

    LoadStatus loadStatus() const { return loadStatus_; }
    const std::optional<VideoDetail>& currentItem() const { return currentItem_; }
    const std::optional<Overlay>& overlay() const { return overlay_; }

    // The tab is shown: a kept list is shown again from its top, otherwise the first page of
    // the latest request's category and sort is asked for.
    virtual void loadFirstPage();
    // Asks for the first page of `request` and replaces the list with it. The catalogue
    // controls (categories, sort, hot tags) build their request from the latest one.
    virtual void loadVideoList(const VideoListRequest& request);
    // Keeps the category and sort; page 1; no author.
    virtual void searchByKeywords(const QString& keywords);
    // Category 0, keeps the sort; page 1; no keywords.
    virtual void searchByAuthor(const QString& author);
    // The overlay's refresh: the latest request once more, unchanged (page included).
    void refreshLatestRequest();
    // The scroll check: asks for the next page when the visible bottom is within 100 points of
    // the content's end (strictly), and no page is on its way or all are shown.
    void loadMoreIfNeeded(double contentHeight, double visibleBottom, double bottomInset);

    // The context menu's actions on `currentItem`.
    void playMenuItemAction();
    void downloadOrSetBackgroundItemAction();
    // Opens the preview window (set by the library screen).
    std::function<void(const QUrl& url)> showPreview;

    // The request used when the client has sent none yet.
    static VideoListRequest defaultRequest();
    // The badge a video earns: downloaded (in the library) over downloading (queued).
    QString badgeFor(const QString& sign) const;
    // Second entry of the context menu for a video.
    QString menuActionTitle(const QString& sign) const;

    QVariant data(const QModelIndex& index, int role) const override;
    void displayedRowsChanged(int first, int last) override;
    void cellsConfiguredAnew() override;
    void didRightClickItem(std::optional<int> row, QPoint globalPos) override;
    void didDoubleClickItem(std::optional<int> row) override;
    void didEndScrolling() override;
    QString footerText() const override;

signals:
    void overlayChanged();
    void loadStatusChanged();

protected:
    void willUnbind() override;
    void refreshRow(int row) override;
    // The service's pictures come from web addresses only.
    std::optional<QUrl> thumbnailAddress(const VideoDetail& video) const override;

private:
    WebModel& client() const;
    DownloadManager& queue() const;
    bool isStored(const QString& sign) const;
    void setLoadStatus(LoadStatus status);
    void setOverlay(std::optional<Overlay> overlay);
    void showLoadingOverlay();
    void firstPageLoaded(const std::optional<VideoListResponse>& reply, std::optional<int> httpStatus);
    void showLoadFailure(bool noResponse);
    void showEmptyList();
    void hideOverlay();
    void nextPageLoaded(const std::optional<TotalVideo>& page);
    void preview(const VideoDetail& video);
    void queueOnMain(std::function<void()> step);

    LoadStatus loadStatus_ = LoadStatus::none;
    std::optional<VideoDetail> currentItem_;
    std::optional<Overlay> overlay_;
    // Badges by sign, found once per configuration of a cell rather than at every paint.
    mutable QHash<QString, QString> badges_;
};
