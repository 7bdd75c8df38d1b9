#include "MainWindow/startup/PlayerStatus.h"

#include "platform/AppLauncher.h"
#include "platform/BusName.h"
#include "platform/DistributedNotificationCenter.h"
#include "platform/Log.h"
#include "platform/WallpaperProblem.h"

#include <QDeadlineTimer>
#include <QTimer>

namespace {
qint64 nowMs() {
    return QDeadlineTimer::current().deadline();
}
}  // namespace

PlayerStatus::PlayerStatus(platform::DistributedNotificationCenter& notices, QObject* parent)
    : QObject(parent), notices_(notices) {}

PlayerStatus::~PlayerStatus() = default;

void PlayerStatus::watch() {
    if (watcher_)
        return;
    const QString helper = QString::fromLatin1(platform::kHelperIdentifier);
    watcher_ = new platform::BusNameWatcher(helper, this);
    connect(watcher_, &platform::BusNameWatcher::appeared, this, [this] {
        quitNoticed_ = false;
        setState(State::Running);
        readProblem();
    });
    connect(watcher_, &platform::BusNameWatcher::vanished, this, &PlayerStatus::vanished);
    // The player's orderly end announces itself before its name goes.
    quitObservation_ = notices_.addObserver(QString::fromLatin1(platform::kHelperDidTerminateNotification), this,
                                            [this] { quitNoticed_ = true; });
    problemObservation_ = notices_.addObserver(QString::fromLatin1(platform::kWallpaperProblemNotification), this,
                                               [this] { readProblem(); });
    if (platform::isBusNameOwned(helper))
        setState(State::Running);
    readProblem();
}

QString PlayerStatus::problem() const {
    if (state_ == State::Stopped)
        return tr(
            "The video wallpaper player stopped unexpectedly and was not started again. Choose a video, or "
            "switch the video wallpaper off and on, to start it.");
    if (state_ == State::Restarting)
        return tr("The video wallpaper player stopped unexpectedly; it is being started again.");
    return playerProblem_;
}

bool PlayerStatus::startAgainIfStopped() {
    if (state_ != State::Stopped)
        return false;
    restarts_.clear();
    // The user's own request: no crash before it is held against the video asked for.
    platform::forgetPlayerCrashes();
    setState(State::Restarting);
    if (relaunch)
        relaunch();
    expectAppearance();
    return true;
}

void PlayerStatus::setState(State state) {
    if (state_ == state)
        return;
    state_ = state;
    emit changed();
}

void PlayerStatus::vanished() {
    if (quitNoticed_) {
        setState(State::Unknown);
        return;
    }
    const qint64 now = nowMs();
    restarts_.removeIf([now](qint64 at) { return now - at > kRestartWindowMs; });
    if (restarts_.size() >= kRestarts || !relaunch) {
        platform::logLine(QStringLiteral("the desktop player ended unexpectedly; it is not started again"));
        setState(State::Stopped);
        return;
    }
    restarts_.append(now);
    platform::logLine(QStringLiteral("the desktop player ended unexpectedly; starting it again"));
    setState(State::Restarting);
    relaunch();
    expectAppearance();
}

void PlayerStatus::expectAppearance() {
    // A player that ends before it takes its name is never seen going: it is stopped then.
    QTimer::singleShot(kAppearanceTimeoutMs, this, [this, restart = restarts_.size()] {
        if (state_ == State::Restarting && restarts_.size() == restart)
            setState(State::Stopped);
    });
}

void PlayerStatus::readProblem() {
    const QString text = platform::wallpaperProblem();
    if (text == playerProblem_)
        return;
    playerProblem_ = text;
    emit changed();
}
