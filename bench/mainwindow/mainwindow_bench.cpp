// Helper program of bench/mainwindow/run.sh.
//   mainwindow_bench tavvel    Tavvel's start-up as the program runs it; like bare_window (the
//                              baseline) it prints the milliseconds from TAVVEL_LAUNCH_NS (CLOCK_REALTIME nanoseconds, the launch) to
// the first paint of their main window, then "idle" and stay until killed.
//   mainwindow_bench preview PAGE   Tavvel's start-up, then the preview of PAGE: prints "idle",
//                                   "open" (preview shown 6 s) and "closed" (3 s after closing)
#include "MainWindow/AppDelegate.h"
#include "MainWindow/Controller/MainWindowController.h"
#include "MainWindow/TavvelApplication.h"
#include "MainWindow/View/PreviewVideoWindow.h"
#include "platform/AppLauncher.h"
#include "platform/Bundle.h"

#include <QMainWindow>
#include <QTimer>
#include <QUrl>

#include <cstdio>
#include <ctime>

namespace {
qint64 nowNs() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

void say(const char* line) {
    std::printf("%s\n", line);
    std::fflush(stdout);
}

// Prints the time to the first paint of `window`, once.
class FirstPaint : public QObject {
public:
    explicit FirstPaint(qint64 launched) : launched_(launched) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !done_) {
            done_ = true;
            std::printf("%.1f\n", double(nowNs() - launched_) / 1e6);
            say("idle");
        }
        return QObject::eventFilter(watched, event);
    }

private:
    qint64 launched_;
    bool done_ = false;
};
}

int main(int argc, char* argv[]) {
    const qint64 launched = qEnvironmentVariable("TAVVEL_LAUNCH_NS").toLongLong();
    const QByteArray mode = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    platform::setMainBundle({QStringLiteral("1.0.0"), QStringLiteral("1"), QString::fromLatin1(platform::kMainAppIdentifier)});
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    TavvelApplication app(argc, argv);
    FirstPaint paint(launched);
    AppDelegate delegate;
    if (!delegate.attachToApplication())
        return 1;
    // Runs right after the delegate's start-up, which is queued first.
    QTimer::singleShot(0, [&] {
        QMainWindow* window = delegate.mainWindowController().window();
        if (mode == "tavvel")
            window->installEventFilter(&paint);
    });
    if (mode == "preview" && argc > 2) {
        const QUrl page = QUrl::fromLocalFile(QString::fromLocal8Bit(argv[2]));
        QTimer::singleShot(3000, [] { say("idle"); });
        QTimer::singleShot(3500, [&delegate, page] { delegate.mainWindowController().showPreviewWindow(page); });
        QTimer::singleShot(9500, [] { say("open"); });
        QTimer::singleShot(10000, [&delegate] { delegate.mainWindowController().webViewWindow().close(); });
        QTimer::singleShot(13000, [] { say("closed"); });
    }
    return app.exec();
}
