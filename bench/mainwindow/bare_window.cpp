// The baseline of bench/mainwindow/run.sh: a bare Qt program showing an empty main window. Prints
// the milliseconds from its launch to the window's first paint, then "idle".
#include "FirstPaint.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    FirstPaint paint;
    QMainWindow window;
    window.resize(1120, 680);
    window.installEventFilter(&paint);
    window.show();
    return app.exec();
}
