#pragma once
#include "platform/Disposable.h"

#include <QObject>
#include <QString>
#include <functional>

namespace platform {

// Posted on the session bus when the library's videos changed (an import, a finished download,
// a removal); the desktop player rebuilds its play list.
inline constexpr const char* kUpdateVideoListNotification = "UpdateVideoList";
// Notifications between processes: a D-Bus signal on the session bus carrying the name.
// Observers run on the main thread. Without a session bus, posting and observing do nothing.
class DistributedNotificationCenter : public QObject {
    Q_OBJECT
public:
    static DistributedNotificationCenter& defaultCenter();

    bool isAvailable() const;
    // Posts `name`. With `waitForDelivery` the call returns only once the bus has taken the
    // signal, so a process may post and then exit without losing it.
    void post(const QString& name, bool waitForDelivery = false);
    DisposablePtr addObserver(const QString& name, const QObject* context, std::function<void()> handler);

signals:
    void received(const QString& name);

private slots:
    void onNotify(const QString& name);

private:
    DistributedNotificationCenter();
    bool connected_ = false;
};

inline constexpr const char* kDBusNotificationPath = "/com/zembo/tavvel/notifications";
inline constexpr const char* kDBusNotificationInterface = "com.zembo.tavvel.Notifications";
}  // namespace platform
