#pragma once
#include <QList>
#include <QObject>
#include <QString>
#include <functional>

#include "shared/Disposable.h"

namespace platform {
class BusNameWatcher;
class DistributedNotificationCenter;
}  // namespace platform

// The desktop player's life as the main program sees it: whether it runs (its bus name has an
// owner), what it last said it cannot show, and what happens when it goes without its quit
// notice (a crash, a kill): it is started again, a few times at most, then left stopped.
class PlayerStatus : public QObject {
    Q_OBJECT
public:
    enum class State {
        Unknown,     // not seen yet (not started, or starting)
        Running,     // owns its bus name
        Restarting,  // went unexpectedly and has been started again
        Stopped,     // went unexpectedly too often, or there is no way to start it
    };
    // Restarts allowed within the window; one more unexpected end leaves the player stopped.
    static constexpr int kRestarts = 3;
    static constexpr qint64 kRestartWindowMs = 5 * 60 * 1000;
    // How long a started player may take to show on the bus.
    static constexpr int kAppearanceTimeoutMs = 20000;

    explicit PlayerStatus(platform::DistributedNotificationCenter& notices, QObject* parent = nullptr);
    ~PlayerStatus() override;

    // Starts watching the bus and the player's notices (once).
    void watch();
    // Starts the player (the program's launch when no player runs).
    std::function<void()> relaunch;

    State state() const { return state_; }
    // One line for the user: the player's own report of why the wallpaper cannot be shown, or
    // that it stopped; empty when all is well.
    QString problem() const;
    // The user asked for the wallpaper: a stopped player gets a new start and a new count.
    // False when it was not stopped.
    bool startAgainIfStopped();

signals:
    void changed();

private:
    void setState(State state);
    void vanished();
    void expectAppearance();
    void readProblem();

    platform::DistributedNotificationCenter& notices_;
    platform::BusNameWatcher* watcher_ = nullptr;
    State state_ = State::Unknown;
    QString playerProblem_;
    bool quitNoticed_ = false;
    QList<qint64> restarts_;  // when each restart happened, monotonic milliseconds
    DisposablePtr quitObservation_;
    DisposablePtr problemObservation_;
};
