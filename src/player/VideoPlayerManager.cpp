#include "player/VideoPlayerManager.h"

#include "platform/DefaultsSuite.h"
#include "platform/DistributedNotificationCenter.h"
#include "platform/Log.h"
#include "platform/Random.h"
#include "platform/WallpaperProblem.h"
#include "player/CrashGuard.h"
#include "player/DesktopWallpaperPlatform.h"
#include "shared/LocalVideoDBManager.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QUrl>
#include <utility>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString errorText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// Whether the regular file at `path` reads: its start and its end. A network home or a failing
// disk gives EIO on a file that stat shows whole.
QString unreadableReason(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return errorText(errno);
    QString reason;
    char buffer[16384];
    struct stat st {};
    if (::fstat(fd, &st) != 0 || ::pread(fd, buffer, sizeof buffer, 0) < 0 ||
        (st.st_size > off_t(sizeof buffer) &&
         ::pread(fd, buffer, sizeof buffer, st.st_size - off_t(sizeof buffer)) < 0))
        reason = errorText(errno);
    ::close(fd);
    return reason;
}

// What tells a file rewritten in place or replaced from the one loaded.
QByteArray fileStamp(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return QByteArray();
    return QByteArray::number(quint64(st.st_ino)) + ' ' + QByteArray::number(qint64(st.st_size)) + ' ' +
           QByteArray::number(qint64(st.st_mtim.tv_sec)) + '.' + QByteArray::number(qint64(st.st_mtim.tv_nsec));
}

VideoPlayerManager* sharedInstance = nullptr;

// After a read that found the database held: the other program's write is usually over by then.
constexpr int kLookAgainMs = 1000;

// The pause before a chosen video that could not be read is tried again: it grows to the last.
constexpr int kRetryFirstMs = 2000;
constexpr int kRetryLongestMs = 10 * 60 * 1000;
// A file that changes is looked at once its writer has been quiet this long.
constexpr int kFileQuietMs = 300;

const QString crashedVideosKey = QString::fromLatin1(platform::kCrashedVideosKey);
// A list kept short: a video deleted since stays in it until then.
constexpr int kMaxCrashedVideos = 50;
}  // namespace

VideoFile checkVideoFile(const QString& urlText) {
    const QUrl url(urlText);
    // A plain path is no URL and so never playable.
    if (!url.isValid() || !url.isLocalFile())
        return {VideoFile::absent, QObject::tr("the stored address names no file")};
    const QString path = url.toLocalFile();
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) == 0) {
        if (!S_ISREG(st.st_mode))
            return {VideoFile::unknown, QObject::tr("it is no file")};
        if (const QString reason = unreadableReason(path); !reason.isEmpty())
            return {VideoFile::unknown, QObject::tr("the file cannot be read (%1)").arg(reason)};
        return {VideoFile::present, QString()};
    }
    const int error = errno;
    if (error != ENOENT)
        return {VideoFile::unknown, QObject::tr("the file cannot be read (%1)").arg(errorText(error))};
    // Gone only when its folder is there and shows its names: an unplugged disk or a mount not
    // yet back hides a file that is still there.
    const QString folder = QFileInfo(path).absolutePath();
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return {
            VideoFile::unknown,
            QObject::tr("its folder %1 cannot be read (%2)").arg(QDir::toNativeSeparators(folder), errorText(errno))};
    ::close(fd);
    return {VideoFile::absent, QObject::tr("the file is no longer there")};
}

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
    connect(lookAgainTimer_, &QTimer::timeout, this, &VideoPlayerManager::lookAgain);
    retryDelayMs_ = kRetryFirstMs;
    retryTimer_ = new QTimer(this);
    retryTimer_->setSingleShot(true);
    connect(retryTimer_, &QTimer::timeout, this, &VideoPlayerManager::retryLoad);
    fileQuietTimer_ = new QTimer(this);
    fileQuietTimer_->setSingleShot(true);
    fileQuietTimer_->setInterval(kFileQuietMs);
    connect(fileQuietTimer_, &QTimer::timeout, this, &VideoPlayerManager::reviewLoadedFile);
    watcher_ = new QFileSystemWatcher(this);
    connect(watcher_, &QFileSystemWatcher::fileChanged, fileQuietTimer_, qOverload<>(&QTimer::start));
    connect(watcher_, &QFileSystemWatcher::directoryChanged, fileQuietTimer_, qOverload<>(&QTimer::start));

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
            retryDelayMs_ = kRetryFirstMs;
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
        // Switched off, nothing is loaded: the memory stays given back, and a crash names no video.
        if (preferences_.isOpenPlayer())
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

void VideoPlayerManager::rebuildVideoList(bool wait) {
    std::optional<std::vector<VideoDetail>> read = database_.readAllVideos(wait);
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

std::optional<QUrl> VideoPlayerManager::findPlayableEntry(QString* problem) {
    // One pass at most: every entry is tried once, starting at the cursor. In single mode the
    // cursor's entry is the user's choice: no other one stands in for it.
    const int steps = playModel_ == VideoPlayerPlayModel::single ? qMin(1, videoList_.count()) : videoList_.count();
    for (int step = 0; step < steps; ++step) {
        const VideoDetail* video = videoList_.current();
        if (!video)
            break;
        const bool crashed = crashedVideos_.contains(video->sign);
        const VideoFile file = crashed ? VideoFile{VideoFile::unknown, QString()} : checkVideoFile(video->url);
        if (file.state == VideoFile::present)
            return QUrl(video->url);
        if (step == 0 && !crashed)
            *problem = tr("Cannot play \"%1\": %2.").arg(shownName(video->sign), file.reason);
        else if (step == 0)
            *problem = tr("The player crashed while playing \"%1\". That video is skipped until you choose it again.")
                           .arg(shownName(video->sign));
        if (steps > 1)
            videoList_.advanceWrapping();
    }
    if (steps > 1 && !problem->isEmpty())
        *problem = problem->chopped(1) + tr(", and no other video can be played.");
    return std::nullopt;
}

bool VideoPlayerManager::videoIsPlayable(const QString& sign) {
    const std::optional<VideoFile> file = playability(sign, true);
    return file && file->state == VideoFile::present;
}

std::optional<VideoFile> VideoPlayerManager::playability(const QString& sign, bool wait, QString* path) {
    const std::optional<std::optional<VideoDetail>> row = database_.readVideoWithSign(sign, wait);
    if (!row)
        return std::nullopt;
    if (!*row)
        return VideoFile{VideoFile::absent, tr("it is no longer in the library")};
    if (path)
        *path = QUrl((*row)->url).toLocalFile();
    return checkVideoFile((*row)->url);
}

void VideoPlayerManager::lookAgainLater() {
    lookAgainTimer_->start(kLookAgainMs);
}

void VideoPlayerManager::lookAgain() {
    if (const std::optional<QString> sign = std::exchange(signToLookUp_, std::nullopt);
        sign && preferences_.playingVideoSign() == *sign && chooseVideo(*sign, /*late=*/true))
        return;
    if (!listUnread_)
        return;
    // Without waiting: this runs on the thread that draws the wallpaper.
    rebuildVideoList(/*wait=*/false);
    // The player started while the list could not be read: it starts playing now, if it is on.
    if (!listUnread_ && player_ && player_->currentItem() == 0 && preferences_.isOpenPlayer()) {
        loadPlayableEntry();
        addStatusObserver();
        if (player_->isPlaying())
            syncPlayingSign();
    }
}

bool VideoPlayerManager::playVideoWithSign(const QString& sign) {
    return chooseVideo(sign, /*late=*/false);
}

bool VideoPlayerManager::chooseVideo(const QString& sign, bool late) {
    // The empty text is no sign; deleting by it would remove every row without one.
    if (sign.isEmpty())
        return false;
    if (const VideoDetail* current = videoList_.current(); current && current->sign == sign && !waiting_)
        return true;
    QString path;
    const std::optional<VideoFile> file = playability(sign, !late, &path);
    if (!file) {
        signToLookUp_ = sign;
        lookAgainLater();
        return false;
    }
    if (file->state == VideoFile::absent) {
        // Certainly gone: its row goes (none is left when it had none).
        database_.deleteVideoWithSign(sign);
        return false;
    }
    if (file->state == VideoFile::unknown) {
        // Out of sight, not gone: the row stays and the file is looked at again later.
        platform::reportWallpaperProblem(tr("Cannot play \"%1\": %2.").arg(shownName(sign), file->reason));
        problemSign_ = sign;
        signToLookUp_ = sign;
        lookAgainTimer_->start(retryDelayMs_);
        retryDelayMs_ = qMin(retryDelayMs_ * 2, kRetryLongestMs);
        watchFile(path, true);
        return false;
    }
    resetFailureCount();
    rebuildVideoList(!late);
    // The sign stays to look up until the list that holds it is read.
    if (listUnread_) {
        signToLookUp_ = sign;
        lookAgainLater();
        return false;
    }
    if (!videoList_.moveToSign(sign))
        return false;
    // A late answer opens no player that the user switched off meanwhile.
    if (late && !preferences_.isOpenPlayer())
        return true;
    player().pause();
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
    // The entries after the one loaded, in play order: one of them is next if it was removed.
    QStringList after;
    bool seen = false;
    for (const VideoDetail& video : videoList_.items()) {
        if (seen)
            after.append(video.sign);
        seen = seen || video.sign == loadedSign_;
    }
    rebuildVideoList();
    // The video loaded was removed (or every one was): it stops, and the next plays as the mode says.
    if (listUnread_ || !player_ || loadedSign_.isEmpty() || !preferences_.isOpenPlayer())
        return;
    for (const VideoDetail& video : videoList_.items())
        if (video.sign == loadedSign_)
            return;
    platform::logLine(QStringLiteral("the video playing was removed: ") + loadedSign_);
    if (playModel_ == VideoPlayerPlayModel::list)
        for (const QString& sign : std::as_const(after))
            if (videoList_.moveToSign(sign))
                break;
    reloadCurrent();
}

void VideoPlayerManager::reloadCurrent() {
    removeStatusObserver();
    loadPlayableEntry();
    addStatusObserver();
    if (player_->currentItem() != 0)
        setPlaying(preferences_.isPlaying());
    syncPlayingSign();
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
    // Every entry failed once in a row: trying again would only cycle through them for ever.
    const bool nothingLeft = !single && consecutiveFailures_ >= qMax(1, videoList_.count());
    QString problem;
    QString path;
    if (const VideoDetail* video = videoList_.current()) {
        path = QUrl(video->url).toLocalFile();
        // The cause as the file shows it: a read error is no unsupported format.
        const VideoFile file = checkVideoFile(video->url);
        const QString reason = file.state != VideoFile::present ? file.reason
                               : player_->lastFailure() == MediaPlayer::Failure::noVideoTrack
                                   ? tr("the file has no video track")
                                   : tr("this video format is not supported");
        const QString name = shownName(video->sign);
        if (single)
            problem = tr("Cannot play \"%1\": %2.").arg(name, reason);
        else if (!nothingLeft)
            platform::reportWallpaperProblem(tr("Cannot play \"%1\": %2.").arg(name, reason));
        else
            platform::reportWallpaperProblem(
                tr("Cannot play \"%1\": %2, and no other video can be played: the video wallpaper is off.")
                    .arg(name, reason));
    }
    if (single) {
        // The user's choice and switch stay: the video is tried again later.
        waitForPlayable(problem, path);
        return;
    }
    if (nothingLeft) {
        platform::logLine(QStringLiteral("no video of the play list can be played"));
        switchOff();
        return;
    }
    playerItemDidReachEnd();
}

void VideoPlayerManager::onItemStarted(quint64 item) {
    if (!player_ || item != player_->currentItem())
        return;
    resetFailureCount();
    retryDelayMs_ = kRetryFirstMs;
    // The video the problem was about plays now (any, when it was about the whole list).
    if (problemSign_ && (problemSign_->isEmpty() || *problemSign_ == loadedSign_)) {
        problemSign_.reset();
        platform::clearWallpaperProblem();
    }
}

void VideoPlayerManager::loadPlayableEntry() {
    waiting_ = false;
    retryTimer_->stop();
    QString problem;
    const std::optional<QUrl> url = findPlayableEntry(&problem);
    const VideoDetail* video = url ? videoList_.current() : nullptr;
    crashguard::setPlayingVideo(video ? video->sign : QString());
    if (video)
        platform::logLine(QStringLiteral("playing ") + video->sign);
    loadedSign_ = video ? video->sign : QString();
    loadedPath_ = url ? url->toLocalFile() : QString();
    loadedStamp_ = fileStamp(loadedPath_);
    watchFile(loadedPath_, false);
    player_->replaceItem(url.value_or(QUrl()));
    if (url)
        return;
    bool allCrashed = !videoList_.isEmpty();
    for (const VideoDetail& entry : videoList_.items())
        allCrashed = allCrashed && crashedVideos_.contains(entry.sign);
    if (allCrashed && playModel_ != VideoPlayerPlayModel::single)
        switchOffWhenNothingIsLeft();
    else if (!problem.isEmpty())
        waitForPlayable(problem, videoList_.current() ? QUrl(videoList_.current()->url).toLocalFile() : QString());
}

void VideoPlayerManager::waitForPlayable(const QString& problem, const QString& path) {
    if (player_ && player_->currentItem() != 0)
        player_->replaceItem(QUrl());
    crashguard::setPlayingVideo(QString());
    loadedSign_.clear();
    loadedPath_.clear();
    waiting_ = true;
    for (auto& window : windowList_)
        window->orderOut();
    platform::reportWallpaperProblem(problem);
    // A video skipped for a crash waits for the user's choice; any other is tried again.
    const VideoDetail* video = videoList_.current();
    problemSign_ = playModel_ == VideoPlayerPlayModel::single && video ? video->sign : QString();
    if (playModel_ == VideoPlayerPlayModel::single && video && crashedVideos_.contains(video->sign))
        return;
    watchFile(path, true);
    retryTimer_->start(retryDelayMs_);
    retryDelayMs_ = qMin(retryDelayMs_ * 2, kRetryLongestMs);
}

void VideoPlayerManager::retryLoad() {
    if (!waiting_ || !player_ || !preferences_.isOpenPlayer())
        return;
    rebuildVideoList(/*wait=*/false);
    if (listUnread_) {
        retryTimer_->start(kLookAgainMs);
        return;
    }
    reloadCurrent();
}

void VideoPlayerManager::watchFile(const QString& path, bool withFolder) {
    if (const QStringList watched = watcher_->files() + watcher_->directories(); !watched.isEmpty())
        watcher_->removePaths(watched);
    if (path.isEmpty())
        return;
    // Either may be out of reach: then the pause alone brings the next try.
    if (QFileInfo::exists(path))
        watcher_->addPath(path);
    if (withFolder && QFileInfo(QFileInfo(path).absolutePath()).isDir())
        watcher_->addPath(QFileInfo(path).absolutePath());
}

void VideoPlayerManager::reviewLoadedFile() {
    if (waiting_) {
        retryTimer_->stop();
        retryLoad();
        return;
    }
    if (signToLookUp_) {
        lookAgainTimer_->start(0);
        return;
    }
    if (loadedPath_.isEmpty() || !player_ || !preferences_.isOpenPlayer())
        return;
    const QByteArray stamp = fileStamp(loadedPath_);
    if (stamp == loadedStamp_) {
        watchFile(loadedPath_, false);  // a file replaced by a rename is watched anew
        return;
    }
    // Rewritten in place or replaced: what the decoder holds is no longer this file.
    platform::logLine(QStringLiteral("the file playing changed on disk: ") + loadedSign_);
    if (checkVideoFile(QUrl::fromLocalFile(loadedPath_).toString()).state == VideoFile::present ||
        playModel_ == VideoPlayerPlayModel::single) {
        reloadCurrent();
        return;
    }
    playNextVideo();
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

QList<QRect> VideoPlayerManager::windowScreens(const QList<QRect>& screens, qsizetype& firstScreen) const {
    firstScreen = 0;
    if (screenType_ != VideoPlayerScreenType::lonely)
        return screens;
    if (screens.isEmpty())
        return {};
    const bool inRange = screenIndex_ >= 0 && screenIndex_ < screens.size();
    firstScreen = inRange ? qsizetype(screenIndex_) : 0;
    return {screens.at(firstScreen)};
}

void VideoPlayerManager::setupWindows() {
    makeWindows();
    if (preferences_.isOpenPlayer()) {
        setPlaying(true);
        if (!preferences_.isPlaying())
            preferences_.setIsPlaying(true);
    } else {
        closePlayer();
    }
}

void VideoPlayerManager::makeWindows() {
    qsizetype firstScreen = 0;  // the platform's number of currentScreenList_'s first screen
    currentScreenList_ = windowScreens(platform_.screens(), firstScreen);
    const QList<QRect> frames = playerViewFrames();
    windowList_.clear();
    for (qsizetype i = 0; i < currentScreenList_.size(); ++i) {
        windowList_.push_back(
            platform_.makeWindowOnScreen(int(firstScreen + i), currentScreenList_.at(i), frames.at(i), player(), this));
        placeWindow(*windowList_.back());
    }
}

void VideoPlayerManager::rebuildWindows() {
    for (auto& window : windowList_)
        window->orderOut();
    windowList_.clear();
    setupWindows();
}

void VideoPlayerManager::placeWindow(WallpaperWindow& window) {
    // With nothing that can be played no black window stands for it.
    if (waiting_) {
        window.orderOut();
        return;
    }
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
    // Screens that came, went or changed while the wallpaper was off were not followed then.
    qsizetype firstScreen = 0;
    if (windowScreens(platform_.screens(), firstScreen) != currentScreenList_) {
        for (auto& window : windowList_)
            window->orderOut();
        windowList_.clear();
        makeWindows();
    } else {
        placeAllWindows();
    }
    removeStatusObserver();
    resetFailureCount();
    player();
    loadPlayableEntry();
    addStatusObserver();
    setPlaying(true);
}

void VideoPlayerManager::closePlayer() {
    player().pause();
    waiting_ = false;
    retryTimer_->stop();
    loadedSign_.clear();
    loadedPath_.clear();
    watchFile(QString(), false);
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
