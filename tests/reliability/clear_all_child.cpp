// clear_all_child [start]: the local list's confirmed "Clear All" on the shared folders, as the
// main program runs it; ends once the removal has come back. With "start", the main program's
// first work with the library folders (what killed imports and removals left) and no more.
#include "MainWindow/locallibrary/LocalLibraryViewModel.h"
#include "MainWindow/startup/MainParts.h"
#include "platform/AppLauncher.h"
#include "platform/Bundle.h"
#include "service/LocalLibraryModel.h"
#include "service/WebModel.h"
#include "shared/LocalVideoDBManager.h"

#include <QGuiApplication>

int main(int argc, char** argv) {
    platform::setMainBundle(
        {QStringLiteral("1.0.0"), QStringLiteral("1"), QString::fromLatin1(platform::kMainAppIdentifier)});
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (app.arguments().value(1) == QLatin1String("start")) {
        WebModel web(QStringLiteral("http://127.0.0.1:9"), /*startTimers=*/false);
        LocalLibraryModel library(web, LocalVideoDBManager::shared());
        return 0;  // once its first work has ended
    }
    LocalLibraryViewModel model(MainParts::make());
    QObject::connect(&model, &LocalLibraryViewModel::removalEnded, &app, &QCoreApplication::quit);
    model.clearAllVideos(true);
    return app.exec();
}
