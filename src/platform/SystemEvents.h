#pragma once
#include <QObject>

namespace platform {
// System events that the desktop player follows.
class SystemEvents : public QObject {
    Q_OBJECT
public:
    static SystemEvents& shared();

    // Starts observing logind's PrepareForSleep on the system bus; false (and nothing happens
    // later) where there is no system bus.
    bool observeWake();

    // SIGTERM and SIGINT end the event loop the normal way (QCoreApplication::quit), so the work
    // connected to aboutToQuit still runs, for a logout as for a menu's "Quit".
    static void quitOnTerminationSignals();

signals:
    // The system woke from sleep.
    void didWake();

private slots:
    void onPrepareForSleep(bool start);

private:
    SystemEvents() = default;
    bool wakeObserved_ = false;
};
}  // namespace platform
