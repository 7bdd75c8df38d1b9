// The baseline of bench/mainwindow/run.sh: a bare Qt program showing an empty main window. Prints
// the milliseconds from TAVVEL_LAUNCH_NS to the window's first paint, then "idle".
#include <QApplication>
#include <QMainWindow>

#include <cstdio>
#include <ctime>

namespace {
class FirstPaint : public QObject {
public:
    explicit FirstPaint(qint64 launched) : launched_(launched) {}
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
}

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    FirstPaint paint(qEnvironmentVariable("TAVVEL_LAUNCH_NS").toLongLong());
    QMainWindow window;
    window.resize(1120, 680);
    window.installEventFilter(&paint);
    window.show();
    return app.exec();
}
