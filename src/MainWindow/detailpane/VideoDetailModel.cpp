#include "MainWindow/detailpane/VideoDetailModel.h"

#include "MainWindow/library/ImageLoader.h"
#include "MainWindow/library/LibraryNotices.h"
#include "MainWindow/library/WebAddress.h"
#include "platform/NotificationCenter.h"
#include "service/DownloadManager.h"
#include "MainWindow/library/LocalLibraryIndex.h"
#include "shared/TextHelpers.h"

#include <QPointer>

VideoDetailModel::VideoDetailModel(const MainParts& parts, QObject* parent) : QObject(parent), parts_(parts) {
    // A stored or removed download changes what the shown video offers.
    DownloadManager& queue = parts_.downloads();
    connect(&queue, &DownloadManager::downloadAdded, this, [this] { refreshAction(); });
    connect(&queue, &DownloadManager::downloadRemoved, this, [this] { refreshAction(); });
    // So do rows read after the database was held elsewhere.
    connect(&parts_.library(), &LocalLibraryIndex::changed, this, [this] { refreshAction(); });
    rightClickObservation_ = parts_.notices().addObserver(librarynotices::rightClickNotification, this,
                                                          [this](const QVariantMap& userInfo) {
                                                              if (const auto video = librarynotices::videoOf(userInfo))
                                                                  rightClickToDownload(*video);
                                                          });
}

VideoDetailModel::~VideoDetailModel() = default;

void VideoDetailModel::setVideo(const std::optional<VideoDetail>& video) {
    video_ = video;
    if (video_)
        action_ = currentAction();
    emit videoChanged();
}

void VideoDetailModel::setDelegate(VideoDetailViewDelegate* delegate) {
    delegate_ = delegate;
    if (!delegate)
        return;
    const QPointer<VideoDetailModel> self(this);
    delegate->videoDetailDidChanged() = [self](const std::optional<VideoDetail>& video) {
        if (self)
            self->setVideo(video);
    };
}

void VideoDetailModel::setAction(Action action) {
    action_ = action;
    emit actionChanged(action);
}

QString VideoDetailModel::actionTitle(Action action) {
    switch (action) {
    case Action::download: return localizedString("Download", "To download video");
    case Action::downloading: return localizedString("Downloading", "Downloading video");
    case Action::setAsWallpaper: break;
    }
    return localizedString("Set as Wallpaper", "Button title");
}

VideoDetailModel::Texts VideoDetailModel::textsOf(const std::optional<VideoDetail>& video) {
    Texts texts;
    if (!video)
        return texts;
    const VideoDetail& v = *video;
    texts.title = shownText(v.title);
    texts.author = shownText(v.author);
    texts.authorAccessibleName = localizedString("Videos by %1", "search by author").arg(texts.author);
    // A value no video can have (negative, or far beyond any real file, length, picture or
    // audience) says unknown rather than showing the service's raw digits.
    const QString unknown = localizedString("Unknown", "a value the service sent that no video can have");
    const auto within = [](qint64 value, qint64 most) { return value >= 0 && value <= most; };
    texts.uploads = within(v.upcount, kMostCount) ? QString::number(v.upcount) : unknown;
    texts.downloads = within(v.down, kMostCount) ? QString::number(v.down) : unknown;
    texts.size = within(v.size, kMostBytes) ? formatByteSize(v.size) : unknown;
    texts.duration = within(v.time, kMostMilliseconds) ? formatDuration(v.time / 1000) : unknown;
    texts.dimensions = within(v.width, kMostPixels) && within(v.height, kMostPixels)
                           ? QString::number(v.width) + QChar(0x00D7) + QString::number(v.height) + QLatin1Char('(') +
                                 shownText(v.ratio) + QLatin1Char(')')
                           : unknown;
    texts.audio = v.audio == 1 ? localizedString("YES", "has audio") : localizedString("NO", "has no audio");
    texts.requirement = v.performanceDescription();
    return texts;
}

bool VideoDetailModel::isStored(const QString& sign) const {
    return parts_.library().contains(sign);
}

VideoDetailModel::Action VideoDetailModel::currentAction() const {
    if (!video_)
        return action_;
    if (isStored(video_->sign))
        return Action::setAsWallpaper;
    if (parts_.downloads().isDownloading(video_->sign))
        return Action::downloading;
    return Action::download;
}

void VideoDetailModel::refreshAction() {
    if (video_)
        setAction(currentAction());
}

std::optional<QUrl> VideoDetailModel::coverUrl() const {
    if (!video_)
        return std::nullopt;
    std::optional<QUrl> url = ImageLoader::looseUrl(video_->imgurl);
    if (!url)
        return std::nullopt;
    // A local cover belongs only to a stored video, whose own address is a local file.
    if (url->isLocalFile() && QUrl(video_->url).isLocalFile())
        return url;
    return platform::isWebAddress(*url) ? url : std::nullopt;
}

std::optional<QUrl> VideoDetailModel::avatarUrl() const {
    return video_ ? webAddress(video_->avatar) : std::nullopt;
}

std::optional<QUrl> VideoDetailModel::previewUrl() const {
    return webAddress(video_ ? video_->preurl : QString());
}

void VideoDetailModel::clickAuthor() {
    if (delegate_ && video_)
        delegate_->authorClicked(video_->author);
}

void VideoDetailModel::press() {
    if (!video_)
        return;
    switch (action_) {
    case Action::downloading:
        if (delegate_)
            delegate_->showDownloadList();
        return;
    case Action::download: {
        const Action now = currentAction();
        if (now != Action::download) {
            setAction(now);
            if (now == Action::downloading && delegate_)
                delegate_->showDownloadList();
            return;
        }
        setAction(Action::downloading);
        if (delegate_)
            delegate_->downloadVideo(*video_);
        return;
    }
    case Action::setAsWallpaper:
        if (delegate_)
            delegate_->setAsWallpaper(video_->sign);
        return;
    }
}

void VideoDetailModel::rightClickToDownload(const VideoDetail& video) {
    if (parts_.downloads().isDownloading(video.sign)) {
        if (delegate_)
            delegate_->showDownloadList();
        return;
    }
    if (isStored(video.sign)) {
        refreshAction();  // already in the library: nothing to download
        return;
    }
    // Queues the right-clicked video; the button changes only when the pane shows it.
    if (video_ && video_->sign == video.sign)
        setAction(Action::downloading);
    if (delegate_)
        delegate_->downloadVideo(video);
}
