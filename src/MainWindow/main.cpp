#include "platform/Bundle.h"
#include "shared/Preferences.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    platform::setMainBundle({QStringLiteral(TAVVEL_SHORT_VERSION), QStringLiteral(TAVVEL_BUILD),
                             QStringLiteral(TAVVEL_BUNDLE_ID)});
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Tavvel"));
    app.setQuitOnLastWindowClosed(false);
    Preferences::shared();
    return app.exec();
}
