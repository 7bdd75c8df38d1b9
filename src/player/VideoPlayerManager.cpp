#include "player/VideoPlayerManager.h"

#include "platform/DefaultsSuite.h"
#include "platform/DistributedNotificationCenter.h"
#include "platform/Log.h"
#include "platform/Random.h"
#include "platform/WallpaperProblem.h"
#include "player/CrashGuard.h"
#include "player/DesktopWallpaperPlatform.h"
#include "shared/LocalVideoDBManager.h"

#include <QFileInfo>
#include <QUrl>
#include <utility>

namespace {

// A stored file URL whose file exists. A plain path is no URL and so never playable.
bool isPlayableUrl(const QString& text) {
    const QUrl url(text);
    if (!url.isValid() || !url.isLocalFile())
        return false;
    return QFileInfo(url.toLocalFile()).isFile();
}

VideoPlayerManager* sharedInstance = nullptr;

// After a read that found the database held: the other program's write is usually over by then.
constexpr int kLookAgainMs = 1000;

const QString crashedVideosKey = QStringLiteral("CrashedVideos");
// A list kept short: a video deleted since stays in it until then.
constexpr int kMaxCrashedVideos = 50;
}  // namespace

std::optional<VideoPlayerScreenType> screenTypeFromInteger(qint64 value) {
    switch (quint64(value)) {
    case 0: return VideoPlayerScreenType::combo;
    case 1: return VideoPlayerScreenType::dynamic;
    case 2: return VideoPlayerScreenType::lonely;
    default: return std::nullopt;
    }
}

std::optional<VideoPlayerPlayModel> playModelFromInteger(qint64 value) {
    switch (quint64(value)) {
    case 0: return VideoPlayerPlayModel::single;
    case 1: return VideoPlayerPlayModel::list;
    case 2: return VideoPlayerPlayModel::random;
    default: return std::nullopt;
    }
}

// --- VideoInfoList ---------------------------------------------------------------------------

void VideoInfoList::append(VideoDetail video) {
    items_.push_back(std::move(video));
    if (!current_)
        current_ = 0;
}

void VideoInfoList::removeAll() {
    items_.clear();
    current_.reset();
}

const VideoDetail* VideoInfoList::current() const {
    if (!current_ || *current_ < 0 || *current_ >= count())
        return nullptr;
    return &items_[size_t(*current_)];
}

bool VideoInfoList::moveToSign(const QString& sign) {
    for (int i = 0; i < count(); ++i) {
        if (items_[size_t(i)].sign == sign) {
            current_ = i;
            return true;
        }
    }
    return false;
}

void VideoInfoList::advanceWrapping() {
    if (isEmpty()) {
        current_.reset();
        return;
    }
    current_ = (current_ && *current_ + 1 < count()) ? *current_ + 1 : 0;
}

// --- construction ----------------------------------------------------------------------------

VideoPlayerManager& VideoPlayerManager::shared() {
    if (!sharedInstance) {
        sharedInstance = new VideoPlayerManager(desktopWallpaperPlatform(), Preferences::shared(),
                                                LocalVideoDBManager::shared());
    }
    return *sharedInstance;
}

VideoPlayerManager::VideoPlayerManager(WallpaperPlatform& platform, Preferences& preferences,
                                       LocalVideoDBManager& database, QObject* parent)
    : QObject(parent), platform_(platform), preferences_(preferences), database_(database) {
    // At start an unknown arrangement falls back to mirroring every screen.
    screenType_ = screenTypeFromInteger(preferences_.monitorArrange()).value_or(VideoPlayerScreenType::dynamic);
    screenIndex_ = preferences_.screenIndex();
    playModel_ = playModelFromInteger(preferences_.playModel()).value_or(VideoPlayerPlayModel::single);

    currentScreenList_ = platform_.screens();
    uniform_ = [](quint32 n) { return platform::randomUniform(n); };
    crashedVideos_ = platform::helperDefaults().object(crashedVideosKey).toStringList();
    lookAgainTimer_ = new QTimer(this);
    lookAgainTimer_->setSingleShot(true);
    lookAgainTimer_->setInterval(kLookAgainMs);
    connect(lookAgainTimer_, &QTimer::timeout, this, &VideoPlayerManager::lookAgain);

    connect(&platform_, &WallpaperPlatform::activeSpaceDidChange, this, &VideoPlayerManager::activeSpaceDidChange);
    updateVideoListDispose_ = platform::DistributedNotificationCenter::defaultCenter().addObserver(
        QString::fromLatin1(platform::kUpdateVideoListNotification), this, [this] { updateVideoList(); });

    Preferences* prefs = &preferences_;
    observerDisposables_.push_back(
        observe(prefs, &Preferences::playingVideoSignChanged, this, [this](const std::optional<QString>& sign) {
            // A removed sign comes back from the other process as
            // the empty text: it names no video either.
            if (!sign || sign->isEmpty())
                return;
            const VideoDetail* current = videoList_.current();
            const bool chosen = !current || current->sign != *sign;
            // Chosen again, a video that crashed the player gets another try.
            if (chosen && crashedVideos_.removeAll(*sign) > 0)
                storeCrashedVideos();
            if (playVideoWithSign(*sign) && chosen)
                platform::clearWallpaperProblem();
        }));
    observerDisposables_.push_back(observe(prefs, &Preferences::isPlayingChanged, this, [this](bool playing) {
        // A closed wallpaper stays closed: playing shows the windows.
        if (!playing || preferences_.isOpenPlayer())
            setPlaying(playing);
    }));
    observerDisposables_.push_back(observe(prefs, &Preferences::playModelChanged, this, [this](qint64 value) {
        playModel_ = playModelFromInteger(value).value_or(VideoPlayerPlayModel::single);
        resetFailureCount();
        rebuildVideoList();
    }));
    observerDisposables_.push_back(observe(prefs, &Preferences::isOpenPlayerChanged, this, [this](bool open) {
        if (open) {
            // Switched on by the user: every video that crashed the player gets another try.
            if (!crashedVideos_.isEmpty()) {
                crashedVideos_.clear();
                storeCrashedVideos();
            }
            platform::clearWallpaperProblem();
            openPlayer();
        } else {
            closePlayer();
        }
        platform::logLine(open ? QStringLiteral("wallpaper switched on") : QStringLiteral("wallpaper switched off"));
    }));
    observerDisposables_.push_back(bindBool(prefs, &Preferences::muteChanged, this, &VideoPlayerManager::setMuted));
    observerDisposables_.push_back(bind(prefs, &Preferences::volumeChanged, this, &VideoPlayerManager::setVolume));
    observerDisposables_.push_back(observe(prefs, &Preferences::screenIndexChanged, this, [this](qint64 value) {
        screenType_ = VideoPlayerScreenType::lonely;
        screenIndex_ = value;
        rebuildWindows();
    }));
    observerDisposables_.push_back(observe(prefs, &Preferences::monitorArrangeChanged, this, [this](qint64 value) {
        // As a change an unknown arrangement means the single screen.
        screenType_ = screenTypeFromInteger(value).value_or(VideoPlayerScreenType::lonely);
        rebuildWindows();
    }));
}

VideoPlayerManager::~VideoPlayerManager() {
    observerDisposables_.clear();
    updateVideoListDispose_.reset();
    // The windows show the player's frames: they go first.
    windowList_.clear();
    if (sharedInstance == this)
        sharedInstance = nullptr;
}

// --- the player ------------------------------------------------------------------------------

MediaPlayer& VideoPlayerManager::player() {
    if (!player_) {
        player_ = platform_.makePlayer();
        connect(player_.get(), &MediaPlayer::itemEnded, this, &VideoPlayerManager::onItemEnded);
        connect(player_.get(), &MediaPlayer::itemFailed, this, &VideoPlayerManager::onItemFailed);
        connect(player_.get(), &MediaPlayer::itemStarted, this, &VideoPlayerManager::onItemStarted);
        rebuildVideoList();
        loadPlayableEntry();
        player_->setVolume(preferences_.volume());
        player_->setMuted(preferences_.mute());
        addStatusObserver();
    }
    return *player_;
}

bool VideoPlayerManager::isMuted() {
    return player().isMuted();
}

void VideoPlayerManager::setMuted(bool muted) {
    player().setMuted(muted);
}

float VideoPlayerManager::volume() {
    return player().volume();
}

void VideoPlayerManager::setVolume(float volume) {
    player().setVolume(volume);
}

// --- play list -------------------------------------------------------------------------------

void VideoPlayerManager::rebuildVideoList() {
    std::optional<std::vector<VideoDetail>> read = database_.readAllVideos(true);
    listUnread_ = !read;
    if (!read) {
        lookAgainLater();
        return;
    }
    videoList_.removeAll();
    std::vector<VideoDetail> rows = std::move(*read);
    if (playModel_ == VideoPlayerPlayModel::random)
        rows = shuffledVideoList(rows, uniform_);
    for (VideoDetail& row : rows)
        videoList_.append(std::move(row));
    const std::optional<QString> sign = preferences_.playingVideoSign();
    if (sign && !sign->isEmpty())
        videoList_.moveToSign(*sign);
}

std::vector<VideoDetail> VideoPlayerManager::shuffledVideoList(const std::vector<VideoDetail>& rows,
                                                               const std::function<quint32(quint32)>& uniform) {
    std::vector<VideoDetail> work = rows;
    std::vector<VideoDetail> result;
    result.reserve(rows.size());
    while (!work.empty()) {
        quint32 i = uniform(quint32(work.size()));
        if (i >= work.size())  // a broken source must not read past the end
            i = quint32(work.size() - 1);
        result.push_back(std::move(work[i]));
        work.erase(work.begin() + qsizetype(i));
    }
    return result;
}

std::optional<QUrl> VideoPlayerManager::findPlayableEntry() {
    // One pass at most: every entry is tried once, starting at the cursor.
    for (int step = 0; step < videoList_.count(); ++step) {
        const VideoDetail* video = videoList_.current();
        if (video && isPlayableUrl(video->url) && !crashedVideos_.contains(video->sign))
            return QUrl(video->url);
        videoList_.advanceWrapping();
    }
    return std::nullopt;
}

bool VideoPlayerManager::videoIsPlayable(const QString& sign) {
    return playability(sign).value_or(false);
}

std::optional<bool> VideoPlayerManager::playability(const QString& sign) {
    const std::optional<std::optional<VideoDetail>> row = database_.readVideoWithSign(sign, true);
    if (!row)
        return std::nullopt;
    return *row && isPlayableUrl((*row)->url);
}

void VideoPlayerManager::lookAgainLater() {
    lookAgainTimer_->start();
}

void VideoPlayerManager::lookAgain() {
    if (const std::optional<QString> sign = std::exchange(signToLookUp_, std::nullopt);
        sign && preferences_.playingVideoSign() == *sign && playVideoWithSign(*sign))
        return;
    if (!listUnread_)
        return;
    rebuildVideoList();
    // The player started while the list could not be read: it starts playing now.
    if (!listUnread_ && player_ && player_->currentItem() == 0) {
        loadPlayableEntry();
        addStatusObserver();
        if (player_->isPlaying())
            syncPlayingSign();
    }
}

bool VideoPlayerManager::playVideoWithSign(const QString& sign) {
    // The empty text is no sign; deleting by it would remove every row without one.
    if (sign.isEmpty())
        return false;
    if (const VideoDetail* current = videoList_.current(); current && current->sign == sign)
        return true;
    const std::optional<bool> playable = playability(sign);
    if (!playable) {
        signToLookUp_ = sign;
        lookAgainLater();
        return false;
    }
    if (!*playable) {
        database_.deleteVideoWithSign(sign);
        return false;
    }
    player().pause();
    resetFailureCount();
    rebuildVideoList();
    videoList_.moveToSign(sign);
    openPlayer();
    return true;
}

void VideoPlayerManager::playNextVideo() {
    MediaPlayer& p = player();
    if (!videoList_.current()) {
        p.seekToZero();
        syncPlayingSign();
        return;
    }
    if (playModel_ == VideoPlayerPlayModel::single) {
        p.seekToZero();
        return;
    }
    if (!videoList_.atTail()) {
        videoList_.advanceWrapping();
    } else {
        if (playModel_ == VideoPlayerPlayModel::random)
            rebuildVideoList();  // a new order for the next pass
        videoList_.setCurrentIndex(videoList_.isEmpty() ? std::nullopt : std::optional<int>(0));
    }
    removeStatusObserver();
    loadPlayableEntry();
    addStatusObserver();
    syncPlayingSign();
}

void VideoPlayerManager::syncPlayingSign() {
    // A list that could not be read says nothing about the stored sign.
    if (listUnread_)
        return;
    std::optional<QString> sign;
    if (const VideoDetail* current = videoList_.current())
        sign = current->sign;
    if (preferences_.playingVideoSign() != sign)
        preferences_.setPlayingVideoSign(sign);
}

void VideoPlayerManager::setPlaying(bool playing) {
    if (playing) {
        placeAllWindows();
        player().play();
        syncPlayingSign();
    } else {
        player().pause();
    }
}

void VideoPlayerManager::addStatusObserver() {
    MediaPlayer& p = player();
    if (p.currentItem() != 0)
        observedItem_ = p.currentItem();
}

void VideoPlayerManager::removeStatusObserver() {
    MediaPlayer& p = player();
    if (p.currentItem() != 0)
        observedItem_ = 0;
}

void VideoPlayerManager::playerItemDidReachEnd() {
    playNextVideo();
}

void VideoPlayerManager::updateVideoList() {
    resetFailureCount();
    rebuildVideoList();
}

void VideoPlayerManager::onItemEnded(quint64 item) {
    // An item that has been replaced meanwhile no longer speaks for the player.
    if (!player_ || item == 0 || item != player_->currentItem())
        return;
    playerItemDidReachEnd();
}

void VideoPlayerManager::onItemFailed(quint64 item) {
    if (!player_ || item == 0 || item != player_->currentItem() || item != observedItem_)
        return;
    ++consecutiveFailures_;
    const bool single = playModel_ == VideoPlayerPlayModel::single;
    // In single mode the one video is all there is; otherwise every entry failed once in a row,
    // and trying again would only cycle through them for ever.
    const bool nothingLeft = single || consecutiveFailures_ >= qMax(1, videoList_.count());
    if (const VideoDetail* video = videoList_.current()) {
        const QString path = QUrl(video->url).toLocalFile();
        const QString reason = player_->lastFailure() == MediaPlayer::Failure::noVideoTrack
                                   ? tr("the file has no video track")
                               : QFileInfo(path).isReadable() ? tr("this video format is not supported")
                                                              : tr("the file cannot be read");
        const QString name = shownName(video->sign);
        if (!nothingLeft)
            platform::reportWallpaperProblem(tr("Cannot play \"%1\": %2.").arg(name, reason));
        else if (single)
            platform::reportWallpaperProblem(
                tr("Cannot play \"%1\": %2. The video wallpaper is off.").arg(name, reason));
        else
            platform::reportWallpaperProblem(
                tr("Cannot play \"%1\": %2, and no other video can be played: the video wallpaper is off.")
                    .arg(name, reason));
    }
    if (nothingLeft) {
        platform::logLine(QStringLiteral("no video of the play list can be played"));
        switchOff();
        return;
    }
    playerItemDidReachEnd();
}

void VideoPlayerManager::onItemStarted(quint64 item) {
    if (player_ && item == player_->currentItem())
        resetFailureCount();
}

void VideoPlayerManager::loadPlayableEntry() {
    const std::optional<QUrl> url = findPlayableEntry();
    const VideoDetail* video = url ? videoList_.current() : nullptr;
    crashguard::setPlayingVideo(video ? video->sign : QString());
    if (video)
        platform::logLine(QStringLiteral("playing ") + video->sign);
    player_->replaceItem(url.value_or(QUrl()));
    if (!url)
        switchOffWhenNothingIsLeft();
}

void VideoPlayerManager::switchOffWhenNothingIsLeft() {
    QString crashed;
    for (const VideoDetail& video : videoList_.items()) {
        if (!crashedVideos_.contains(video.sign))
            return;  // not all skipped for a crash: a missing file or an empty list, as before
        if (crashed.isEmpty())
            crashed = video.sign;
    }
    if (crashed.isEmpty() || !preferences_.isOpenPlayer())
        return;
    platform::reportWallpaperProblem(
        tr("The player crashed while playing \"%1\" and no other video can be played: the video wallpaper "
           "is off.")
            .arg(shownName(crashedVideos_.constLast())));
    switchOff();
}

void VideoPlayerManager::switchOff() {
    // After the current call (the player may be in the making): the wallpaper's own switch
    // closes the windows, and the main program shows it off.
    QMetaObject::invokeMethod(
        this, [this] { preferences_.setIsOpenPlayer(false); }, Qt::QueuedConnection);
}

void VideoPlayerManager::skipCrashedVideo(const QString& sign) {
    if (sign.isEmpty())
        return;
    crashedVideos_.removeAll(sign);
    crashedVideos_.append(sign);
    while (crashedVideos_.size() > kMaxCrashedVideos)
        crashedVideos_.removeFirst();
    storeCrashedVideos();
    platform::logLine(QStringLiteral("skipping a video that crashed the player: ") + sign);
    platform::reportWallpaperProblem(
        tr("The player crashed while playing \"%1\". That video is skipped until you choose it again.")
            .arg(shownName(sign)));
}

QString VideoPlayerManager::shownName(const QString& sign) {
    const std::optional<VideoDetail> video = database_.videoWithSign(sign);
    if (!video)
        return sign;
    if (!video->title.trimmed().isEmpty())
        return video->title.trimmed();
    return QFileInfo(QUrl(video->url).toLocalFile()).fileName();
}

void VideoPlayerManager::storeCrashedVideos() {
    platform::DefaultsSuite& suite = platform::helperDefaults();
    if (crashedVideos_.isEmpty())
        suite.remove(crashedVideosKey);
    else
        suite.setObject(crashedVideosKey, crashedVideos_);
    suite.synchronize();
}

// --- windows ---------------------------------------------------------------------------------

QList<QRect> VideoPlayerManager::playerViewFrames(VideoPlayerScreenType type, const QList<QRect>& screens) {
    QList<QRect> frames;
    if (type == VideoPlayerScreenType::combo) {
        // The box spanned by every screen (and the origin); each window shows its part of it.
        int minX = 0, minY = 0, maxX = 0, maxY = 0;
        for (const QRect& s : screens) {
            minX = qMin(minX, s.x());
            minY = qMin(minY, s.y());
            maxX = qMax(maxX, s.x() + s.width());
            maxY = qMax(maxY, s.y() + s.height());
        }
        for (const QRect& s : screens)
            frames.append(QRect(minX - s.x(), minY - s.y(), maxX - minX, maxY - minY));
    } else {
        for (const QRect& s : screens)
            frames.append(QRect(QPoint(0, 0), s.size()));
    }
    return frames;
}

QList<QRect> VideoPlayerManager::playerViewFrames() const {
    return playerViewFrames(screenType_, currentScreenList_);
}

void VideoPlayerManager::setupWindows() {
    const QList<QRect> screens = platform_.screens();
    qsizetype firstScreen = 0;  // the platform's number of currentScreenList_'s first screen
    if (screenType_ == VideoPlayerScreenType::lonely) {
        currentScreenList_.clear();
        if (!screens.isEmpty()) {
            const bool inRange = screenIndex_ >= 0 && screenIndex_ < screens.size();
            firstScreen = inRange ? qsizetype(screenIndex_) : 0;
            currentScreenList_.append(screens.at(firstScreen));
        }
    } else {
        currentScreenList_ = screens;
    }
    const QList<QRect> frames = playerViewFrames();
    windowList_.clear();
    for (qsizetype i = 0; i < currentScreenList_.size(); ++i) {
        windowList_.push_back(
            platform_.makeWindowOnScreen(int(firstScreen + i), currentScreenList_.at(i), frames.at(i), player(), this));
        placeWindow(*windowList_.back());
    }
    if (preferences_.isOpenPlayer()) {
        setPlaying(true);
        if (!preferences_.isPlaying())
            preferences_.setIsPlaying(true);
    } else {
        closePlayer();
    }
}

void VideoPlayerManager::rebuildWindows() {
    for (auto& window : windowList_)
        window->orderOut();
    windowList_.clear();
    setupWindows();
}

void VideoPlayerManager::placeWindow(WallpaperWindow& window) {
    window.setDesktopLevel();
    if (isHideDesktopIcon_)
        window.orderFront();
    else
        window.orderBack();
}

void VideoPlayerManager::placeAllWindows() {
    for (auto& window : windowList_)
        placeWindow(*window);
}

void VideoPlayerManager::openPlayer() {
    placeAllWindows();
    removeStatusObserver();
    resetFailureCount();
    player();
    loadPlayableEntry();
    addStatusObserver();
    setPlaying(true);
}

void VideoPlayerManager::closePlayer() {
    player().pause();
    // A crash while the wallpaper is off is no video's fault.
    crashguard::setPlayingVideo(QString());
    // Opening loads the video again from its start, so nothing of this one need be kept.
    player().releaseMemory();
    for (auto& window : windowList_)
        window->orderOut();
}

void VideoPlayerManager::checkScreensChanged() {
    if (!preferences_.isOpenPlayer())
        return;
    const QList<QRect> screens = platform_.screens();
    if (screens.size() != currentScreenList_.size()) {
        rebuildWindows();
        return;
    }
    for (const QRect& screen : screens) {
        if (!currentScreenList_.contains(screen)) {
            rebuildWindows();
            return;
        }
    }
}

void VideoPlayerManager::hideDesktopIcon(bool hide) {
    isHideDesktopIcon_ = hide;
    if (!preferences_.isOpenPlayer())
        return;
    placeAllWindows();
}

void VideoPlayerManager::activeSpaceDidChange() {
    hideDesktopIcon(isHideDesktopIcon_);
}

void VideoPlayerManager::tapVideoPlayerViewAction() {
    platform::logLine(QStringLiteral("tapVideoPlayerViewAction"));
}
