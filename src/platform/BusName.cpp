#include "platform/BusName.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusServiceWatcher>

namespace platform {
bool hasSessionBus() {
    return QDBusConnection::sessionBus().isConnected();
}

bool claimBusName(const QString& name) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return false;
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply = bus.interface()->registerService(
        name, QDBusConnectionInterface::DontQueueService, QDBusConnectionInterface::DontAllowReplacement);
    return reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered;
}

bool isBusNameOwned(const QString& name) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return false;
    const QDBusReply<bool> reply = bus.interface()->isServiceRegistered(name);
    return reply.isValid() && reply.value();
}

BusNameWatcher::BusNameWatcher(const QString& name, QObject* parent) : QObject(parent) {
    if (!hasSessionBus())
        return;
    auto* watcher = new QDBusServiceWatcher(name, QDBusConnection::sessionBus(),
                                            QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher, &QDBusServiceWatcher::serviceRegistered, this, &BusNameWatcher::appeared);
    connect(watcher, &QDBusServiceWatcher::serviceUnregistered, this, &BusNameWatcher::vanished);
}
}  // namespace platform
