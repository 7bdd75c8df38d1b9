#pragma once
// Prints the milliseconds from TAVVEL_LAUNCH_NS (CLOCK_REALTIME nanoseconds, the launch) to the
// first paint of the widget it watches, then "idle".
#include <QEvent>
#include <QObject>

#include <cstdio>
#include <ctime>

class FirstPaint : public QObject {
public:
    FirstPaint() : launched_(qEnvironmentVariable("TAVVEL_LAUNCH_NS").toLongLong()) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !done_) {
            done_ = true;
            timespec ts{};
            clock_gettime(CLOCK_REALTIME, &ts);
            std::printf("%.1f\nidle\n", double(qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec - launched_) / 1e6);
            std::fflush(stdout);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    qint64 launched_;
    bool done_ = false;
};
