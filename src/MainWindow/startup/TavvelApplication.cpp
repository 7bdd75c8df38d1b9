#include "MainWindow/startup/TavvelApplication.h"

#include <QIcon>

#include <exception>

TavvelApplication::TavvelApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Tavvel"));
    // Closing the main window leaves the program running; reopening shows the window again.
    setQuitOnLastWindowClosed(false);
    // Title bars, taskbars and Alt-Tab show the icon theme's picture of the installed entry; the
    // built-in sizes stand in where the theme has none.
    QIcon builtIn;
    for (const int size : {16, 24, 32, 48, 64, 128})
        builtIn.addFile(QStringLiteral(":/icons/%1x%1/apps/" TAVVEL_APP_ID ".png").arg(size), QSize(size, size));
    setWindowIcon(QIcon::fromTheme(QStringLiteral(TAVVEL_APP_ID), builtIn));
}

bool TavvelApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        // Inside the handler the exception is still the current one, so the crash report
        // names it; the terminate handler then ends the process.
        std::terminate();
    }
}
