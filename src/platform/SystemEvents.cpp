#include "platform/SystemEvents.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {
namespace {
int signalPipe[2] = {-1, -1};

void onTerminationSignal(int) {
    const char byte = 1;
    // Only async-signal-safe work here; the event loop picks the byte up.
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}
}  // namespace

SystemEvents& SystemEvents::shared() {
    static auto* events = new SystemEvents;  // lives for the whole process
    return *events;
}

bool SystemEvents::observeWake() {
    if (wakeObserved_)
        return true;
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return false;
    wakeObserved_ = bus.connect(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                                QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"),
                                this, SLOT(onPrepareForSleep(bool)));
    return wakeObserved_;
}

void SystemEvents::onPrepareForSleep(bool start) {
    if (!start)
        emit didWake();
}

void SystemEvents::quitOnTerminationSignals() {
    if (signalPipe[0] >= 0)
        return;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return;
    ::fcntl(signalPipe[1], F_SETFL, ::fcntl(signalPipe[1], F_GETFL) | O_NONBLOCK);
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] {
        char buffer[16];
        [[maybe_unused]] const ssize_t got = ::read(signalPipe[0], buffer, sizeof buffer);
        QCoreApplication::quit();
    });
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
    // The log goes to standard output, which the desktop player shares with the program that
    // started it: a reader that went away must not end the program at its next log line.
    ::signal(SIGPIPE, SIG_IGN);
}
}  // namespace platform
