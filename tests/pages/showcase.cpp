// Tavvel's main window as the program builds it, for screenshots (tests/pages/screenshots.sh):
//   pages_showcase main|about|settings|guide
// shows the main window, then the about page, the settings window or the guide on top.
#include "MainWindow/startup/AppDelegate.h"
#include "MainWindow/window/MainWindowController.h"
#include "MainWindow/startup/TavvelApplication.h"
#include "MainWindow/window/LeftMenuBar.h"
#include "MainWindow/window/LeftMenuCell.h"

#include <QMainWindow>
#include <QTimer>

int main(int argc, char* argv[]) {
    TavvelApplication app(argc, argv);
    const QString stage = argc > 1 ? QString::fromLatin1(argv[1]) : QStringLiteral("main");
    AppDelegate delegate(MainParts::make());
    delegate.showMainWindow();
    MainWindowController& controller = delegate.mainWindowController();
    controller.window()->move(40, 40);
    QTimer::singleShot(500, [&] {
        if (stage == QLatin1String("about"))
            controller.window()->findChild<LeftMenuBar*>()->cellList[1]->clickCellAction();
        else if (stage == QLatin1String("settings"))
            delegate.showPreferences();
        else if (stage == QLatin1String("guide"))
            controller.showNewFeatures();
    });
    QTimer::singleShot(20000, &app, &QCoreApplication::quit);
    return app.exec();
}
