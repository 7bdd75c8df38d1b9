#include "platform/MainThread.h"

#include <QCoreApplication>
#include <QThread>

namespace platform {
void runOnMainThread(std::function<void()> work) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    QMetaObject::invokeMethod(app, std::move(work), Qt::QueuedConnection);
}

bool isMainThread() {
    QCoreApplication* app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
}
}  // namespace platform
