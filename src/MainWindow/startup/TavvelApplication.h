#pragma once
#include <QApplication>

// The application object of Tavvel. An exception must not cross Qt's event loop (that is
// undefined behaviour): one escaping an event handler is reported as a crash and ends the process.
class TavvelApplication : public QApplication {
    Q_OBJECT
public:
    TavvelApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};
