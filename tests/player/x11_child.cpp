// Shows one clip as the wallpaper on the X server of $DISPLAY, then prints
// "ready <window id>" once frames are on screen, and runs until stdin closes or 30 s pass.
// With --native it prints each screen's rectangle in native pixels ("x y w h" a line) instead.
// Usage: wallpaper_x11_child CLIP | wallpaper_x11_child --native
#include "PlayerFakes.h"
#include "player/DesktopWallpaperPlatform.h"
#include "platform/gui/X11Desktop.h"
#include "player/DesktopWallpaperWindow.h"
#include "player/VideoRenderer.h"

#include <QApplication>
#include <QScreen>
#include <QSocketNotifier>
#include <QTimer>
#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    if (argc < 2)
        return 2;
    if (qstrcmp(argv[1], "--native") == 0) {
        for (QScreen* screen : QGuiApplication::screens()) {
            const QRect r = platform::nativePixels(screen->geometry(), screen);
            std::printf("%d %d %d %d\n", r.x(), r.y(), r.width(), r.height());
        }
        return 0;
    }
    TestLibrary library;
    library.addRow(QStringLiteral("clip"), TestLibrary::fileUrl(QString::fromLocal8Bit(argv[1])));
    Preferences prefs(library.suite);
    VideoPlayerManager manager(desktopWallpaperPlatform(), prefs, library.db);
    manager.setupWindows();
    if (manager.windowList().empty())
        return 3;

    auto* window = static_cast<DesktopWallpaperWindow&>(*manager.windowList().front()).widget();
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (manager.player().renderer()->renderedFrames() >= 10) {
            poll.stop();
            std::printf("ready %llu\n", static_cast<unsigned long long>(window->winId()));
            std::fflush(stdout);
        }
    });
    poll.start(50);
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[64];
        if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0)
            app.quit();
    });
    QTimer::singleShot(30000, &app, &QApplication::quit);
    return app.exec();
}
