#include "platform/NotificationCenter.h"

namespace platform {
NotificationCenter& NotificationCenter::defaultCenter() {
    static auto* center = new NotificationCenter;  // lives for the whole process
    return *center;
}

DisposablePtr NotificationCenter::addObserver(const QString& name, const QObject* context, Handler handler) {
    const QObject* receiver = context ? context : this;
    return makeDisposable(connect(
        this, &NotificationCenter::posted, receiver,
        [name, handler = std::move(handler)](const QString& posted, const QVariantMap& info) {
            if (posted == name)
                handler(info);
        },
        Qt::DirectConnection));
}

void NotificationCenter::post(const QString& name, const QVariantMap& userInfo) {
    emit posted(name, userInfo);
}
}  // namespace platform
