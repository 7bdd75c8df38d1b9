#include "platform/AppLauncher.h"
#include "platform/Bundle.h"
#include "platform/BusName.h"
#include "platform/Log.h"
#include "platform/SystemEvents.h"
#include "platform/WaitProbe.h"
#include "platform/gui/WaylandLayerShell.h"
#include "player/AppDelegate.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    platform::setMainBundle(
        {QStringLiteral(TAVVEL_SHORT_VERSION), QStringLiteral(TAVVEL_BUILD), QStringLiteral(TAVVEL_BUNDLE_ID)});
    // The OpenGL renderer's texture is sampled by every wallpaper window's context. Forced to
    // software, no OpenGL library is loaded at all.
    if (qgetenv("TAVVEL_RENDERER").trimmed().toLower() != "software")
        QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // Where the compositor has a layer shell the wallpaper is drawn on it, on a connection of its
    // own, whatever Qt runs on. Elsewhere an X server's desktop windows are the only way to stay
    // behind everything (GNOME's compositor keeps XWayland's desktop windows in its desktop
    // layer, while a Wayland window of Qt's would be an ordinary one): xcb when there is one, on
    // X11 or under GNOME. Other compositors place an X11 window anywhere: there is no wallpaper.
    const bool chooseXcb = !platform::LayerShell::open() && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") &&
                           !qEnvironmentVariableIsEmpty("DISPLAY") &&
                           (!platform::LayerShell::waylandSession() || platform::LayerShell::keepsX11DesktopBelow());
    if (chooseXcb)
        qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    // The main program, when started from here, makes its own choice.
    if (chooseXcb)
        qunsetenv("QT_QPA_PLATFORM");
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
    platform::startWaitProbe();
    return app.exec();
}
