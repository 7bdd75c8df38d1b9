#include "platform/AppLauncher.h"
#include "platform/Bundle.h"
#include "platform/BusName.h"
#include "platform/DistributedNotificationCenter.h"
#include "platform/SystemEvents.h"
#include "service/DownloadManager.h"
#include "shared/Preferences.h"

#include <QApplication>
#include <QMainWindow>

namespace {
// A second start shows the running program's main window instead.
void showMainWindows() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<QMainWindow*>(widget)) {
            widget->show();
            widget->raise();
            widget->activateWindow();
        }
    }
}
}

int main(int argc, char* argv[]) {
    platform::setMainBundle({QStringLiteral(TAVVEL_SHORT_VERSION), QStringLiteral(TAVVEL_BUILD),
                             QStringLiteral(TAVVEL_BUNDLE_ID)});
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Tavvel"));
    app.setQuitOnLastWindowClosed(false);

    // Answer "show your window" before the name is ours, so no request meets a gap.
    platform::setReopenHandler(showMainWindows);
    const QString identifier = QString::fromLatin1(platform::kMainAppIdentifier);
    if (platform::hasSessionBus() && !platform::claimBusName(identifier)) {
        platform::reopenRunningApplication(identifier);
        return 0;
    }
    platform::SystemEvents::quitOnTerminationSignals();

    // The desktop player's exit ends this program too.
    const DisposablePtr terminal = platform::DistributedNotificationCenter::defaultCenter().addObserver(
        QString::fromLatin1(platform::kHelperDidTerminateNotification), &app, [] { QCoreApplication::quit(); });

    Preferences::shared();

    const QString helper = QString::fromLatin1(platform::kHelperIdentifier);
    if (!platform::isApplicationRunning(helper))
        platform::launchApplication(helper);

    // Running transfers keep their resume data and the list is on disk before the process ends.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, [] {
        if (DownloadManager* downloads = DownloadManager::existing())
            downloads->cancelAllDownloads();
    });

    return app.exec();
}
