#pragma once
#include <QObject>
#include <QString>

namespace platform {
// Well-known names on the session bus: the Linux form of "the application with this bundle
// identifier is running".

// True when this process is connected to a session bus.
bool hasSessionBus();
// Takes `name` for the life of the process. False when another process holds it (the name is
// not queued for later) or when there is no session bus.
bool claimBusName(const QString& name);
// True when some process currently owns `name`.
bool isBusNameOwned(const QString& name);

// Tells when a well-known name gets an owner and when it loses it (its process quit, crashed
// or was killed). Main thread; nothing is told without a session bus.
class BusNameWatcher : public QObject {
    Q_OBJECT
public:
    explicit BusNameWatcher(const QString& name, QObject* parent = nullptr);

signals:
    void appeared();
    void vanished();
};
}  // namespace platform
