// Helper program of bench/mainwindow/run.sh.
//   mainwindow_bench tavvel    Tavvel's start-up as the program runs it; like bare_window (the
//                              baseline) it prints the time to its window's first paint
//                              (FirstPaint.h), then stays until killed.
//   mainwindow_bench preview PAGE   Tavvel's start-up, then the preview of PAGE: prints "idle",
//                                   "open" (preview shown 6 s), "closed" (3 s after closing) and,
//                                   after a second preview, "closed again"
#include "FirstPaint.h"
#include "MainWindow/startup/AppDelegate.h"
#include "MainWindow/window/MainWindowController.h"
#include "MainWindow/window/PreviewPageLoader.h"
#include "MainWindow/startup/TavvelApplication.h"
#include "MainWindow/window/PreviewVideoWindow.h"
#include "platform/AppLauncher.h"
#include "platform/Bundle.h"

#include <QMainWindow>
#include <QTimer>
#include <QUrl>

#include <cstdio>

namespace {
void say(const char* line) {
    std::printf("%s\n", line);
    std::fflush(stdout);
}
}  // namespace

int main(int argc, char* argv[]) {
    const QByteArray mode = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    platform::setMainBundle(
        {QStringLiteral("1.0.0"), QStringLiteral("1"), QString::fromLatin1(platform::kMainAppIdentifier)});
    TavvelApplication app(argc, argv);
    // This program lies away from the program folder: run.sh names the build tree's plugin folder.
    previewpage::lookFirstIn(qEnvironmentVariable("TAVVEL_PLUGIN_DIR"));
    FirstPaint paint;
    AppDelegate delegate(MainParts::make());
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
        // A second round: what stays after closing does not grow.
        QTimer::singleShot(13500, [&delegate, page] { delegate.mainWindowController().showPreviewWindow(page); });
        QTimer::singleShot(17000, [&delegate] { delegate.mainWindowController().webViewWindow().close(); });
        QTimer::singleShot(20000, [] { say("closed again"); });
    }
    return app.exec();
}
