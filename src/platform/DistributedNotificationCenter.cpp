#include "platform/DistributedNotificationCenter.h"

#include "platform/Log.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>

namespace platform {
DistributedNotificationCenter& DistributedNotificationCenter::defaultCenter() {
    static auto* center = new DistributedNotificationCenter;  // lives for the whole process
    return *center;
}

DistributedNotificationCenter::DistributedNotificationCenter() {
    if (QCoreApplication::instance())
        moveToThread(QCoreApplication::instance()->thread());
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        connected_ = bus.connect(QString(), QString::fromLatin1(kDBusNotificationPath),
                                 QString::fromLatin1(kDBusNotificationInterface), QStringLiteral("Notify"), this,
                                 SLOT(onNotify(QString)));
    }
}

bool DistributedNotificationCenter::isAvailable() const {
    return QDBusConnection::sessionBus().isConnected();
}

void DistributedNotificationCenter::post(const QString& name, bool waitForDelivery) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage signal = QDBusMessage::createSignal(QString::fromLatin1(kDBusNotificationPath),
                                                     QString::fromLatin1(kDBusNotificationInterface),
                                                     QStringLiteral("Notify"));
    signal << name;
    bus.send(signal);
    if (waitForDelivery) {
        // Messages on one connection are handled in order: once the bus answers this call,
        // it has routed the signal sent before it.
        QDBusMessage ping = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
            QStringLiteral("org.freedesktop.DBus.Peer"), QStringLiteral("Ping"));
        bus.call(ping, QDBus::Block, 2000);
    }
}

DisposablePtr DistributedNotificationCenter::addObserver(const QString& name, const QObject* context,
                                                         std::function<void()> handler) {
    const QObject* receiver = context ? context : this;
    return makeDisposable(connect(this, &DistributedNotificationCenter::received, receiver,
                                  [name, handler = std::move(handler)](const QString& got) {
                                      if (got == name)
                                          handler();
                                  }));
}

void DistributedNotificationCenter::onNotify(const QString& name) {
    emit received(name);
}
}  // namespace platform
