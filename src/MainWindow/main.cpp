#include "MainWindow/AppDelegate.h"
#include "MainWindow/TavvelApplication.h"
#include "platform/Bundle.h"

int main(int argc, char* argv[]) {
    platform::setMainBundle(
        {QStringLiteral(TAVVEL_SHORT_VERSION), QStringLiteral(TAVVEL_BUILD), QStringLiteral(TAVVEL_BUNDLE_ID)});
    TavvelApplication app(argc, argv);
    // Docks and Wayland compositors match the window to the installed desktop entry by this.
    QGuiApplication::setDesktopFileName(QStringLiteral(TAVVEL_APP_ID));
    AppDelegate delegate;
    if (!delegate.attachToApplication())
        return 0;
    return app.exec();
}
