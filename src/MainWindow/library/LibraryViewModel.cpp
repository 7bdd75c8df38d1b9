#include "MainWindow/library/LibraryViewModel.h"

#include "platform/NotificationCenter.h"
#include "shared/PlainText.h"
#include "shared/TextHelpers.h"

#include <algorithm>
#include <set>

LibraryViewModel::LibraryViewModel(const MainParts& parts, QObject* parent)
    : QAbstractListModel(parent), parts_(parts) {}

LibraryViewModel::~LibraryViewModel() {
    if (collectionView_ && collectionView_->boundModel() == this)
        collectionView_->setBoundModel(nullptr);
    collectionView_ = nullptr;
    reloadObservation_.reset();
    cancelThumbnailDownloads();
}

int LibraryViewModel::videoCount() const {
    return videoList_ ? static_cast<int>(videoList_->size()) : 0;
}

const VideoDetail* LibraryViewModel::videoAt(int row) const {
    if (!videoList_ || row < 0 || row >= static_cast<int>(videoList_->size()))
        return nullptr;
    return &(*videoList_)[static_cast<size_t>(row)];
}

void LibraryViewModel::setVideoList(std::optional<std::vector<VideoDetail>> list) {
    const int oldCount = videoCount();
    const int newCount = list ? static_cast<int>(list->size()) : 0;
    // An appended page keeps the rows, the selection and the scroll position.
    const bool appends = videoList_ && list && newCount > oldCount && oldCount > 0 &&
                         std::equal(videoList_->begin(), videoList_->end(), list->begin(),
                                    [](const VideoDetail& a, const VideoDetail& b) { return a.sign == b.sign; });
    if (appends) {
        beginInsertRows(QModelIndex(), oldCount, newCount - 1);
        videoList_ = std::move(list);
        endInsertRows();
    } else {
        beginResetModel();
        videoList_ = std::move(list);
        endResetModel();
        cellsConfiguredAnew();
    }
    reloadDataAsync();
}

void LibraryViewModel::bind(CollectionPort* view) {
    if (!view)
        return;
    if (LibraryViewModel* previous = view->boundModel(); previous && previous != this)
        previous->unbind();
    collectionView_ = view;
    reloadObservation_ = parts_.notices().addObserver(
        reloadCollectionViewName(), this, [this](const QVariantMap& info) { downloadVideoCompleteWithNotifi(info); });
    view->setBoundModel(this);
}

void LibraryViewModel::unbind() {
    willUnbind();
    reloadObservation_.reset();
    if (CollectionPort* view = collectionView_) {
        collectionView_ = nullptr;
        if (view->boundModel() == this)
            view->setBoundModel(nullptr);
    }
}

void LibraryViewModel::releaseView() {
    collectionView_ = nullptr;
    reloadObservation_.reset();
}

void LibraryViewModel::willUnbind() {}

void LibraryViewModel::reloadData() {
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (collectionView_ && videoCount() > 0) {
                cellsConfiguredAnew();
                emit dataChanged(index(0), index(videoCount() - 1));
            }
            if (videoCount() > 0) {
                if (!collectionView_)
                    return;
                const std::vector<int> selected = collectionView_->selectedRows();
                if (!selected.empty())
                    reportSelectedVideo(selected.front());
            } else if (videoDetailDidChanged) {
                videoDetailDidChanged(std::nullopt);
            }
        },
        Qt::QueuedConnection);
}

void LibraryViewModel::reloadDataAsync() {
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (collectionView_) {
                if (videoCount() > 0) {
                    collectionView_->selectRow(0);
                    reportSelectedVideo(0);
                } else if (videoDetailDidChanged) {
                    videoDetailDidChanged(std::nullopt);
                }
            }
            parts_.notices().post(updateVideoAmountName());
        },
        Qt::QueuedConnection);
}

void LibraryViewModel::cancelThumbnailDownloads() {
    if (downloadTaskCache_.isEmpty())
        return;
    for (ImageLoader::Ticket ticket : std::as_const(downloadTaskCache_))
        thumbnails().cancel(ticket);
    downloadTaskCache_.clear();
}

void LibraryViewModel::clearContainerImage() {
    if (collectionView_)
        collectionView_->setContainerImage(QString());
}

int LibraryViewModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : videoCount();
}

QVariant LibraryViewModel::data(const QModelIndex& index, int role) const {
    const VideoDetail* video = index.isValid() ? videoAt(index.row()) : nullptr;
    if (!video)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole: return shownText(video->title);
    case Qt::ToolTipRole: return plainToolTip(shownText(video->title));
    case SignRole: return video->sign;
    case ThumbnailRole:
    case Qt::DecorationRole: {
        auto found = imageCache_.constFind(video->sign);
        return found == imageCache_.constEnd() ? QVariant() : QVariant(*found);
    }
    case VideoRole: return QVariant::fromValue(*video);
    default: return {};
    }
}

QHash<int, QByteArray> LibraryViewModel::roleNames() const {
    QHash<int, QByteArray> names = QAbstractListModel::roleNames();
    names[SignRole] = "sign";
    names[ThumbnailRole] = "thumbnail";
    names[VideoRole] = "video";
    return names;
}

void LibraryViewModel::displayedRowsChanged(int first, int last) {
    std::set<QString> shown;
    for (int row = std::max(first, 0); row <= last; ++row) {
        const VideoDetail* video = videoAt(row);
        if (!video)
            break;
        shown.insert(video->sign);
        if (!imageCache_.contains(video->sign) && !downloadTaskCache_.contains(video->sign) &&
            !failedThumbnails_.contains(video->sign))
            startThumbnail(*video);
    }
    shownSigns_ = QSet<QString>(shown.begin(), shown.end());
    // A cell that left the screen is configured anew when it comes back.
    failedThumbnails_.removeIf([&](const QString& sign) { return !shown.count(sign); });
    // A load whose sign no displayed row shows any more ends at once.
    QList<QString> gone;
    for (auto it = downloadTaskCache_.cbegin(); it != downloadTaskCache_.cend(); ++it)
        if (!shown.count(it.key()))
            gone.append(it.key());
    for (const QString& sign : gone)
        thumbnails().cancel(downloadTaskCache_.take(sign));
}

std::optional<QUrl> LibraryViewModel::thumbnailAddress(const VideoDetail& video) const {
    return ImageLoader::looseUrl(video.imgurl);
}

void LibraryViewModel::startThumbnail(const VideoDetail& video) {
    const std::optional<QUrl> url = thumbnailAddress(video);
    if (!url)
        return;  // the placeholder stays
    const QSize size = collectionView_ ? collectionView_->thumbnailSize() : QSize();
    const QString sign = video.sign;
    downloadTaskCache_.insert(
        sign, thumbnails().load(*url, size, [this, sign](const QImage& image) { thumbnailArrived(sign, image); }));
}

void LibraryViewModel::thumbnailArrived(const QString& sign, const QImage& image) {
    downloadTaskCache_.remove(sign);
    if (image.isNull()) {
        failedThumbnails_.insert(sign);
        return;
    }
    cacheThumbnail(sign, image);
    if (!videoList_)
        return;
    for (int row = 0; row < static_cast<int>(videoList_->size()); ++row) {
        if ((*videoList_)[static_cast<size_t>(row)].sign == sign) {
            const QModelIndex at = index(row);
            emit dataChanged(at, at, {ThumbnailRole, Qt::DecorationRole});
        }
    }
}

void LibraryViewModel::cacheThumbnail(const QString& sign, const QImage& image) {
    if (const auto kept = imageCache_.constFind(sign); kept != imageCache_.constEnd())
        imageBytes_ -= kept->sizeInBytes();
    else
        imageOrder_.append(sign);
    imageCache_.insert(sign, image);
    imageBytes_ += image.sizeInBytes();
    while (imageCache_.size() > kThumbnailCacheLimit) {
        const QString oldest = imageOrder_.first() == sign ? imageOrder_.at(1) : imageOrder_.first();
        imageOrder_.removeOne(oldest);
        imageBytes_ -= imageCache_.take(oldest).sizeInBytes();
    }
    // Over the bytes the oldest pictures go, but none of a row on screen: it would be asked for again.
    for (qsizetype at = 0; imageBytes_ > kThumbnailCacheBytes && at < imageOrder_.size();) {
        const QString candidate = imageOrder_.at(at);
        if (candidate == sign || shownSigns_.contains(candidate)) {
            ++at;
            continue;
        }
        imageOrder_.removeAt(at);
        imageBytes_ -= imageCache_.take(candidate).sizeInBytes();
    }
}

void LibraryViewModel::didSelectRows(const std::vector<int>& rows) {
    if (rows.empty() || !videoList_)
        return;
    reportSelectedVideo(rows.front());
}

void LibraryViewModel::reportSelectedVideo(int row) {
    const VideoDetail* video = videoAt(row);
    if (video && videoDetailDidChanged)
        videoDetailDidChanged(*video);
}

void LibraryViewModel::didRightClickItem(std::optional<int>, QPoint) {}

void LibraryViewModel::didDoubleClickItem(std::optional<int>) {}

void LibraryViewModel::didEndScrolling() {}

QString LibraryViewModel::footerText() const {
    return QString();
}

void LibraryViewModel::cellsConfiguredAnew() {
    failedThumbnails_.clear();
}

void LibraryViewModel::refreshRow(int row) {
    if (const VideoDetail* video = videoAt(row))
        failedThumbnails_.remove(video->sign);
    const QModelIndex at = index(row);
    emit dataChanged(at, at);
}

void LibraryViewModel::downloadVideoCompleteWithNotifi(const QVariantMap& userInfo) {
    const QVariant sign = userInfo.value(QStringLiteral("sign"));
    // The look-up is in the base's own list: a model that keeps none (the download tab, whose
    // count comes from the queue) always takes the reload path.
    if (sign.typeId() == QMetaType::QString && videoList_ && !videoList_->empty() && collectionView_) {
        const QString wanted = sign.toString();
        const auto& list = *videoList_;
        const auto found = std::find_if(list.begin(), list.end(),
                                        [&](const VideoDetail& v) { return v.sign == wanted; });
        if (found != list.end())
            refreshRow(static_cast<int>(found - list.begin()));
        return;
    }
    reloadData();
}
