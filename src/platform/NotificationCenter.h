#pragma once
#include "platform/Disposable.h"

#include <QObject>
#include <QString>
#include <QVariantMap>
#include <functional>

namespace platform {
// The in-process notification centre: a name plus optional user information.
// Observers run synchronously on the posting thread; each is held by its Disposable.
class NotificationCenter : public QObject {
    Q_OBJECT
public:
    static NotificationCenter& defaultCenter();

    using Handler = std::function<void(const QVariantMap& userInfo)>;
    // `context` (optional) ends the observation when it is destroyed.
    DisposablePtr addObserver(const QString& name, const QObject* context, Handler handler);
    void post(const QString& name, const QVariantMap& userInfo = {});

signals:
    void posted(const QString& name, const QVariantMap& userInfo);
};
}  // namespace platform
