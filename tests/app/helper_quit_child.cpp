// The desktop player's start-up, then its menu's "Quit" after a moment: a normal quit of a
// whole player, for the quit-notice test.
#include "platform/Bundle.h"
#include "player/AppDelegate.h"
#include "player/StatusBarManager.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char* argv[]) {
    platform::setMainBundle({QStringLiteral("1.0.0"), QStringLiteral("1"), QStringLiteral("com.zembo.TavvelHelper")});
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    AppDelegate delegate(HelperParts::shared());
    delegate.attachToApplication();
    QTimer::singleShot(1500, [] { StatusBarManager::shared().quitMenuItemAction(); });
    return app.exec();
}
