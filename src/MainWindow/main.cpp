#include "MainWindow/startup/AppDelegate.h"
#include "MainWindow/startup/CrashReport.h"
#include "MainWindow/startup/TavvelApplication.h"
#include "platform/Bundle.h"
#include "platform/WaitProbe.h"

int main(int argc, char* argv[]) {
    platform::setMainBundle(
        {QStringLiteral(TAVVEL_SHORT_VERSION), QStringLiteral(TAVVEL_BUILD), QStringLiteral(TAVVEL_BUNDLE_ID)});
    // Before the application object and its first event: a crash from here on leaves a report.
    crash::installHandler();
    TavvelApplication app(argc, argv);
    // Docks and Wayland compositors match the window to the installed desktop entry by this.
    QGuiApplication::setDesktopFileName(QStringLiteral(TAVVEL_APP_ID));
    AppDelegate delegate(MainParts::make());
    if (!delegate.attachToApplication())
        return 0;
    platform::startWaitProbe();
    return app.exec();
}
