#include "MainWindow/startup/TavvelApplication.h"

#include <exception>

TavvelApplication::TavvelApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Tavvel"));
    // Closing the main window leaves the program running; reopening shows the window again.
    setQuitOnLastWindowClosed(false);
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
