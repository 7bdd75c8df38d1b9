#include "platform/AppLauncher.h"
#include "platform/Bundle.h"
#include "platform/BusName.h"
#include "platform/Log.h"
#include "platform/SystemEvents.h"
#include "player/AppDelegate.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    platform::setMainBundle(
        {QStringLiteral(TAVVEL_SHORT_VERSION), QStringLiteral(TAVVEL_BUILD), QStringLiteral(TAVVEL_BUNDLE_ID)});
    // The OpenGL renderer's texture is sampled by every wallpaper window's context. Forced to
    // software, no OpenGL library is loaded at all.
    if (qgetenv("TAVVEL_RENDERER").trimmed().toLower() != "software")
        QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("TavvelHelper"));
    // The player has no main window; closing an update window must not end it.
    app.setQuitOnLastWindowClosed(false);

    // Before the bus name: whoever sees the name may send SIGTERM at once, and the quit notice
    // must still go out.
    platform::SystemEvents::quitOnTerminationSignals();
    // One player per session: the bus name is how the main program sees that it runs.
    if (!platform::hasSessionBus()) {
        platform::logLine(QStringLiteral("no session bus: running without the main program's notices"));
    } else if (!platform::claimBusName(QString::fromLatin1(platform::kHelperIdentifier))) {
        platform::logLine(QStringLiteral("TavvelHelper is already running"));
        return 0;
    }

    AppDelegate delegate(HelperParts::shared());
    delegate.attachToApplication();
    return app.exec();
}
