#include "platform/WaitProbe.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

namespace platform {
void startWaitProbe() {
    const QString path = qEnvironmentVariable("TAVVEL_WAIT_LOG");
    if (path.isEmpty() || !QCoreApplication::instance())
        return;
    auto* file = new QFile(path, QCoreApplication::instance());
    // The log lives on a plain disk the benchmark chooses, not on the one being measured.
    if (!file->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return;
    auto* timer = new QTimer(QCoreApplication::instance());
    timer->setTimerType(Qt::PreciseTimer);
    auto* clock = new QElapsedTimer;
    clock->start();
    QObject::connect(timer, &QTimer::timeout, file, [file, clock] {
        const qint64 gap = clock->restart();
        if (gap > 20)
            file->write(QByteArray::number(QDateTime::currentMSecsSinceEpoch()) + ' ' + QByteArray::number(gap) + '\n');
    });
    timer->start(10);
}
}  // namespace platform
