#include "MainWindow/onlinelibrary/WebLibraryViewModel.h"

#include "MainWindow/library/LibraryNotices.h"
#include "MainWindow/library/WebAddress.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "service/DownloadManager.h"
#include "service/WebModel.h"
#include "MainWindow/library/LocalLibraryIndex.h"
#include "shared/Preferences.h"
#include "shared/TextHelpers.h"

#include <QLocale>
#include <QPointer>

namespace {
const QString kDownloadingBadge = QStringLiteral("online_video_list_downloading_tavvel.png");
const QString kDownloadedBadge = QStringLiteral("online_video_list_downloaded_tavvel.png");

QString shortest(double value) {
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

}  // namespace

WebLibraryViewModel::WebLibraryViewModel(const MainParts& parts, QObject* parent) : LibraryViewModel(parts, parent) {
    // Rows read after the database was held elsewhere: the badges are found again.
    connect(&parts_.library(), &LocalLibraryIndex::changed, this, [this] {
        badges_.clear();
        if (rowCount() > 0)
            emit dataChanged(index(0), index(rowCount() - 1), {BadgeRole});
    });
}

WebModel& WebLibraryViewModel::client() const {
    return parts_.web();
}

DownloadManager& WebLibraryViewModel::queue() const {
    return parts_.downloads();
}

bool WebLibraryViewModel::isStored(const QString& sign) const {
    return parts_.library().contains(sign);
}

VideoListRequest WebLibraryViewModel::defaultRequest() {
    return VideoListRequest(WebModel::clientId());
}

void WebLibraryViewModel::queueOnMain(std::function<void()> step) {
    QMetaObject::invokeMethod(this, std::move(step), Qt::QueuedConnection);
}

void WebLibraryViewModel::setLoadStatus(LoadStatus status) {
    if (loadStatus_ == status)
        return;
    loadStatus_ = status;
    emit loadStatusChanged();
}

void WebLibraryViewModel::setOverlay(std::optional<Overlay> overlay) {
    overlay_ = std::move(overlay);
    emit overlayChanged();
}

// ---- first page ----

void WebLibraryViewModel::loadFirstPage() {
    queueOnMain([this] { clearContainerImage(); });
    if (videoCount() > 0) {
        reloadDataAsync();
        if (collectionView())
            collectionView()->scrollToTop();
        return;
    }
    VideoListRequest request = defaultRequest();
    if (const auto& latest = client().latestRequest()) {
        request = VideoListRequest(latest->ui());
        request.cate = latest->cate;
        request.sort = latest->sort;
    }
    loadVideoList(request);
}

void WebLibraryViewModel::loadVideoList(const VideoListRequest& request) {
    setLoadStatus(LoadStatus::loading);
    queueOnMain([this] { showLoadingOverlay(); });
    const QPointer<WebLibraryViewModel> self(this);
    client().requestVideoList(
        request,
        [self](const std::optional<VideoListResponse>& reply, std::optional<int> status) {
            if (self)
                self->firstPageLoaded(reply, status);
        },
        WebModel::StaleReply::drop);
}

void WebLibraryViewModel::showLoadingOverlay() {
    setVideoList(std::nullopt);
    // Without the list (another tab is shown) there is nothing to lay the overlay over.
    if (!collectionView())
        return;
    collectionView()->setContainerImage(QStringLiteral("network_connecting"));
    setOverlay(Overlay{localizedString("Loading...", "Loading..."), false});
}

void WebLibraryViewModel::firstPageLoaded(const std::optional<VideoListResponse>& reply,
                                          std::optional<int> httpStatus) {
    if (!reply) {
        const bool noResponse = !httpStatus.has_value();
        queueOnMain([this, noResponse] { showLoadFailure(noResponse); });
        setTotalVideoCount(0);
        setVideoList(std::nullopt);
        setLoadStatus(LoadStatus::loadedAll);
        return;
    }
    setTotalVideoCount(reply->data.total);
    // The overlay step is queued before the list's own refresh.
    if (!reply->data.vlist.empty())
        queueOnMain([this] { hideOverlay(); });
    else
        queueOnMain([this] { showEmptyList(); });
    setVideoList(reply->data.vlist);
    setLoadStatus(reply->data.page == reply->data.pages ? LoadStatus::loadedAll : LoadStatus::none);
}

void WebLibraryViewModel::showLoadFailure(bool noResponse) {
    // The overlay lives only over the online list; leaving the tab removed it.
    if (!collectionView())
        return;
    collectionView()->setContainerImage(QStringLiteral("network_error"));
    setOverlay(Overlay{noResponse ? localizedString("Fail to connect network", "no response")
                                  : localizedString("The server is under maintenance", "no response"),
                       true});
}

void WebLibraryViewModel::showEmptyList() {
    if (!collectionView())
        return;
    collectionView()->setContainerImage(QStringLiteral("empty_video_list"));
    setOverlay(Overlay{localizedString("List is empty", "List is empty"), true});
}

void WebLibraryViewModel::hideOverlay() {
    clearContainerImage();
    setOverlay(std::nullopt);
}

void WebLibraryViewModel::refreshLatestRequest() {
    const auto& latest = client().latestRequest();
    loadVideoList(latest ? *latest : defaultRequest());
}

void WebLibraryViewModel::willUnbind() {
    if (overlay_)
        setOverlay(std::nullopt);
}

// ---- further pages ----

void WebLibraryViewModel::didEndScrolling() {
    if (CollectionPort* view = collectionView()) {
        const double inset = 0.0;
        loadMoreIfNeeded(view->contentHeight(), view->contentOffset() + view->visibleHeight() - inset, inset);
    }
}

void WebLibraryViewModel::loadMoreIfNeeded(double contentHeight, double visibleBottom, double bottomInset) {
    if (videoCount() == 0)
        return;
    platform::logLine(QStringLiteral("maximumOffset ") + shortest(contentHeight) + QStringLiteral(", currentOffset ") +
                      shortest(visibleBottom) + QStringLiteral(", inset.bottom ") + shortest(bottomInset));
    // Written so that a difference that is not a number stops here too.
    if (!(contentHeight - visibleBottom < kLoadMoreDistance))
        return;
    if (loadStatus_ == LoadStatus::loading || loadStatus_ == LoadStatus::loadedAll)
        return;
    auto& latest = client().latestRequest();
    if (!latest)
        return;
    setLoadStatus(LoadStatus::loading);
    if (collectionView())
        collectionView()->footerChanged();
    latest->page += 1;
    const QPointer<WebLibraryViewModel> self(this);
    client().requestNextVideoPage(
        *latest,
        [self](const std::optional<TotalVideo>& page) {
            if (self)
                self->nextPageLoaded(page);
        },
        WebModel::StaleReply::drop);
}

void WebLibraryViewModel::nextPageLoaded(const std::optional<TotalVideo>& page) {
    if (!page) {
        setLoadStatus(LoadStatus::failed);
        queueOnMain([this] {
            if (collectionView())
                collectionView()->footerChanged();
        });
        return;
    }
    setLoadStatus(page->page == page->pages ? LoadStatus::loadedAll : LoadStatus::none);
    if (videoList()) {
        std::vector<VideoDetail> list = *videoList();
        list.insert(list.end(), page->vlist.begin(), page->vlist.end());
        setVideoList(std::move(list));
    } else {
        reloadDataAsync();
    }
    if (collectionView())
        collectionView()->footerChanged();
}

QString WebLibraryViewModel::footerText() const {
    if (videoCount() == 0)
        return QString();
    switch (loadStatus_) {
    case LoadStatus::none: return QString();
    case LoadStatus::loading: return localizedString("Loading more videos ...", "scroll to get more video");
    case LoadStatus::failed: return localizedString("Try to scroll to reload again", "load failed");
    case LoadStatus::loadedAll: break;
    }
    return localizedString("---- No more videos ----", "All video online is show up");
}

// ---- cells ----

QString WebLibraryViewModel::badgeFor(const QString& sign) const {
    if (isStored(sign))
        return kDownloadedBadge;
    return queue().isDownloading(sign) ? kDownloadingBadge : QString();
}

QVariant WebLibraryViewModel::data(const QModelIndex& index, int role) const {
    if (role != BadgeRole)
        return LibraryViewModel::data(index, role);
    const VideoDetail* video = index.isValid() ? videoAt(index.row()) : nullptr;
    if (!video)
        return {};
    auto found = badges_.constFind(video->sign);
    if (found == badges_.constEnd())
        found = badges_.insert(video->sign, badgeFor(video->sign));
    return *found;
}

void WebLibraryViewModel::displayedRowsChanged(int first, int last) {
    LibraryViewModel::displayedRowsChanged(first, last);
    // A cell that left the screen is configured anew when it comes back.
    QSet<QString> shown;
    for (int row = std::max(first, 0); row <= last; ++row)
        if (const VideoDetail* video = videoAt(row))
            shown.insert(video->sign);
    badges_.removeIf([&](const auto& entry) { return !shown.contains(entry.key()); });
}

void WebLibraryViewModel::cellsConfiguredAnew() {
    LibraryViewModel::cellsConfiguredAnew();
    badges_.clear();
}

void WebLibraryViewModel::refreshRow(int row) {
    if (const VideoDetail* video = videoAt(row))
        badges_.remove(video->sign);
    LibraryViewModel::refreshRow(row);
}

// ---- menu and double click ----

QString WebLibraryViewModel::menuActionTitle(const QString& sign) const {
    if (isStored(sign))
        return localizedString("Set as Wallpaper", "Set as Wallpaper");
    if (queue().isDownloading(sign))
        return localizedString("Download List", "jump to downloading");
    return localizedString("Download", "download");
}

void WebLibraryViewModel::didRightClickItem(std::optional<int> row, QPoint globalPos) {
    const VideoDetail* found = row ? videoAt(*row) : nullptr;
    if (!found)
        return;
    const VideoDetail video = *found;
    if (videoDetailDidChanged)
        videoDetailDidChanged(video);
    currentItem_ = video;
    if (!collectionView())
        return;
    collectionView()->selectRow(*row);
    const QPointer<WebLibraryViewModel> self(this);
    collectionView()->popupMenu({MenuEntry{localizedString("Preview", "Preview Video"),
                                           [self] {
                                               if (self)
                                                   self->playMenuItemAction();
                                           }},
                                 MenuEntry{menuActionTitle(video.sign),
                                           [self] {
                                               if (self)
                                                   self->downloadOrSetBackgroundItemAction();
                                           }}},
                                globalPos);
}

void WebLibraryViewModel::preview(const VideoDetail& video) {
    // Only web pages open; any other scheme the service might send is ignored.
    const std::optional<QUrl> url = webAddress(video.preurl);
    if (url && showPreview)
        showPreview(*url);
}

void WebLibraryViewModel::playMenuItemAction() {
    if (currentItem_)
        preview(*currentItem_);
}

void WebLibraryViewModel::downloadOrSetBackgroundItemAction() {
    if (!currentItem_)
        return;
    if (isStored(currentItem_->sign)) {
        parts_.preferences().setPlayingVideoSign(currentItem_->sign);
        parts_.preferences().setIsOpenPlayer(true);
        return;
    }
    // The detail pane shows the download list for a queued video, or queues this one.
    parts_.notices().post(librarynotices::rightClickNotification, librarynotices::rightClickUserInfo(*currentItem_));
}

void WebLibraryViewModel::didDoubleClickItem(std::optional<int> row) {
    if (const VideoDetail* video = row ? videoAt(*row) : nullptr)
        preview(*video);
}

// ---- searches ----

void WebLibraryViewModel::searchByAuthor(const QString& author) {
    const auto& latest = client().latestRequest();
    VideoListRequest request(latest ? latest->ui() : WebModel::clientId());
    request.cate = 0;
    request.page = 1;
    request.sort = latest ? latest->sort : 1;
    request.author = VideoListRequest::base64Utf8(author);
    loadVideoList(request);
}

void WebLibraryViewModel::searchByKeywords(const QString& keywords) {
    const auto& latest = client().latestRequest();
    VideoListRequest request(latest ? latest->ui() : WebModel::clientId());
    request.cate = latest ? latest->cate : 0;
    request.page = 1;
    request.sort = latest ? latest->sort : 1;
    request.keywords = VideoListRequest::base64Utf8(keywords);
    loadVideoList(request);
}

std::optional<QUrl> WebLibraryViewModel::thumbnailAddress(const VideoDetail& video) const {
    return webAddress(video.imgurl);
}
