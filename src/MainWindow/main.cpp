#include "MainWindow/AppDelegate.h"
#include "MainWindow/TavvelApplication.h"
#include "platform/Bundle.h"

int main(int argc, char* argv[]) {
    platform::setMainBundle(
        {QStringLiteral(TAVVEL_SHORT_VERSION), QStringLiteral(TAVVEL_BUILD), QStringLiteral(TAVVEL_BUNDLE_ID)});
    TavvelApplication app(argc, argv);
    AppDelegate delegate;
    if (!delegate.attachToApplication())
        return 0;
    return app.exec();
}
