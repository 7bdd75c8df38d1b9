#include "MainWindow/startup/AppDelegate.h"

#include "MainWindow/window/MainWindowController.h"
#include "MainWindow/startup/CrashReport.h"
#include "MainWindow/startup/PlayerStatus.h"
#include "MainWindow/library/ImageCache.h"
#include "MainWindow/library/ImageLoader.h"
#include "MainWindow/library/VideoLibraryViewController.h"
#include "MainWindow/locallibrary/LocalLibraryParts.h"
#include "platform/AppLauncher.h"
#include "platform/BusName.h"
#include "platform/DefaultsSuite.h"
#include "platform/DistributedNotificationCenter.h"
#include "platform/Log.h"
#include "platform/LoginItem.h"
#include "platform/MainThread.h"
#include "platform/SystemEvents.h"
#include "platform/gui/OpenUrl.h"
#include "service/DownloadManager.h"
#include "service/WebModel.h"
#include "shared/AppInfo.h"
#include "shared/LocalVideoDBManager.h"
#include "shared/Preferences.h"
#include "shared/VersionCompare.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

namespace {
const QString appVersionKey = QStringLiteral("appVersion");
}  // namespace

AppDelegate::AppDelegate(const MainParts& parts) : parts_(parts) {}
AppDelegate::~AppDelegate() = default;

QString AppDelegate::helperBundleIdentifier() {
    return QString::fromLatin1(platform::kHelperIdentifier);
}

QString AppDelegate::helperDidTerminateNotification() {
    return QString::fromLatin1(platform::kHelperDidTerminateNotification);
}

bool AppDelegate::attachToApplication() {
    if (attached_)
        return true;
    // Answer "show your window" before the name is ours, so no request meets a gap.
    platform::setReopenHandler([this] { applicationShouldHandleReopen(); });
    // A SIGTERM sent as soon as the name shows must end the program cleanly, not kill it.
    platform::SystemEvents::quitOnTerminationSignals();
    const QString identifier = QString::fromLatin1(platform::kMainAppIdentifier);
    if (platform::hasSessionBus() && !platform::claimBusName(identifier)) {
        platform::reopenRunningApplication(identifier);
        return false;
    }
    attached_ = true;
    connect(qApp, &QCoreApplication::aboutToQuit, this, &AppDelegate::applicationWillTerminate);
    QTimer::singleShot(0, this, &AppDelegate::applicationDidFinishLaunching);
    return true;
}

void AppDelegate::applicationDidFinishLaunching() {
    // 1. The version text exists before any request.
    AppInfo::version();
    // 2. Delivered notifications stay with the desktop's notification server: nothing to remove.
    // 3. Crash reports from here on.
    crash::installHandler();
    // 4-6. The web client with its guide timer and midnight heartbeat, the launch heartbeat and
    // the base information (cached by the client).
    WebModel& web = parts_.web();
    web.sendHeartbeat(WebModel::HeartBeatType::Boot, launchN());
    web.requestBaseInfo([](const std::optional<BaseInfoResponse>&) {});
    // 7. Pictures come from the disk cache, not memory.
    parts_.images().memory().setMaxMemoryCost(1);
    // 8.
    uploadCrashFiles();

    // 9. Version bookkeeping.
    platform::DefaultsSuite& suite = parts_.preferences().defaults();
    const std::optional<QString> stored = suite.string(appVersionKey);
    bool isFirstInstall = false;
    if (stored) {
        if (versionIsLower(*stored, AppInfo::version()))
            web.reportInstall(WebModel::InstallWay::Update, launchN());
    } else {
        web.reportInstall(WebModel::InstallWay::Reinstall, launchN());
        isFirstInstall = true;
    }
    suite.setObject(appVersionKey, AppInfo::version());
    suite.synchronize();

    // 10. The desktop player starts once the library is checked and the first import has
    // happened. The check may wait for another Tavvel's or the player's lock: its own thread
    // does it, and the window shows meanwhile.
    Preferences& preferences = parts_.preferences();
    parts_.database().afterCheck([self = QPointer<AppDelegate>(this), isFirstInstall] {
        platform::runOnMainThread([self, isFirstInstall] {
            if (self)
                self->libraryChecked(isFirstInstall);
        });
    });

    // The importer now, whose first work sweeps what imports killed in an earlier run left.
    parts_.importer();

    // A desktop player that went without its quit notice (a crash, a kill) is started again, a
    // few times; once it is left stopped, switching the wallpaper on or choosing a video starts it.
    PlayerStatus& status = parts_.playerStatus();
    status.relaunch = [self = QPointer<AppDelegate>(this)] {
        if (self && self->parts_.preferences().alreadyImportVideo())
            self->launchHelperIfNotRunning();
    };
    status.watch();
    auto wallpaperWanted = [this] {
        const Preferences& settings = parts_.preferences();
        if (settings.isOpenPlayer() && settings.alreadyImportVideo())
            parts_.playerStatus().startAgainIfStopped();
    };
    wallpaperObservations_ = {
        observe(&preferences, &Preferences::isOpenPlayerChanged, this, [wallpaperWanted](bool) { wallpaperWanted(); }),
        observe(&preferences, &Preferences::playingVideoSignChanged, this,
                [wallpaperWanted](const std::optional<QString>&) { wallpaperWanted(); })};

    // A settings file that cannot be written is told once; the changes hold until the quit.
    connect(&preferences, &Preferences::settingsNotWritten, this, [this](const QString& path) {
        auto* alert = new QMessageBox(QMessageBox::Warning, QStringLiteral("Tavvel"),
                                      tr("Tavvel cannot save its settings to \"%1\". Changes last until Tavvel quits.")
                                          .arg(QDir::toNativeSeparators(path)),
                                      QMessageBox::Ok, mainWindowController().window());
        alert->setObjectName(QStringLiteral("settingsNotWrittenAlert"));
        alert->setTextFormat(Qt::PlainText);
        alert->setAttribute(Qt::WA_DeleteOnClose);
        alert->open();
    });

    // 11. The desktop player's quit ends this program too.
    terminalObservation_ = parts_.distributedNotices().addObserver(helperDidTerminateNotification(), this,
                                                                   [this] { terminal(); });

    // 12.
    showMainWindow();

    // 13.
    autolaunchObserveDispose_ = observe(&preferences, &Preferences::autolaunchChanged, this,
                                        [this](bool enabled) { setLoginItemEnabled(enabled); });
}

void AppDelegate::libraryChecked(bool isFirstInstall) {
    Preferences& preferences = parts_.preferences();
    // A library file that was no database (or a damaged one with no row left to carry) was set
    // aside and a fresh one started: the samples come in again as on a first start.
    const std::optional<QString> setAside = parts_.database().setAsidePath();
    const std::optional<int> carried = parts_.database().carriedRows();
    const bool importAgain = setAside && carried.value_or(0) == 0;
    if (importAgain)
        preferences.setAlreadyImportVideo(false);
    if (preferences.alreadyImportVideo()) {
        startHelper(isFirstInstall);
    } else {
        importDefaultVideo_ = observe(&preferences, &Preferences::alreadyImportVideoChanged, this,
                                      [this, isFirstInstall](bool imported) {
                                          if (imported)
                                              startHelper(isFirstInstall);
                                      });
    }
    if (!setAside)
        return;
    showLibraryReplacedAlert(*setAside, carried, parts_.database().someRowsUnread());
    // The library screen has shown already; it started no import while the flag was still set.
    if (importAgain)
        mainWindowController().videoLibraryViewController()->localParts()->importSampleVideosIfNeeded();
}

QString AppDelegate::libraryReplacedText(std::optional<int> carried, bool someUnread) {
    if (!carried)
        return tr(
            "Tavvel could not read its video library, so it started a new one and imports the sample "
            "videos again.");
    if (*carried == 0)
        return tr(
            "Tavvel's video library was damaged and none of its videos could be read, so it started a "
            "new one and imports the sample videos again.");
    if (!someUnread)
        return tr("Tavvel's video library was damaged. It started a new one and carried over all %n video(s).", nullptr,
                  *carried);
    return tr(
        "Tavvel's video library was damaged. It started a new one and carried over the %n video(s) that "
        "could still be read; parts of the old file could not be read, so others may be missing.",
        nullptr, *carried);
}

void AppDelegate::showLibraryReplacedAlert(const QString& setAside, std::optional<int> carried, bool someUnread) {
    auto* alert = new QMessageBox(QMessageBox::Warning, QStringLiteral("Tavvel"),
                                  libraryReplacedText(carried, someUnread), QMessageBox::Ok,
                                  mainWindowController().window());
    alert->setObjectName(QStringLiteral("libraryReplacedAlert"));
    alert->setTextFormat(Qt::PlainText);
    alert->setInformativeText(tr("The old library file was kept as \"%1\".").arg(QDir::toNativeSeparators(setAside)));
    if (auto* detail = alert->findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel")))
        detail->setTextFormat(Qt::PlainText);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->open();
}

bool AppDelegate::applicationShouldHandleReopen() {
    showMainWindow();
    platform::logLine(QStringLiteral("applicationShouldHandleReopen(_:hasVisibleWindows:)"));
    return true;
}

void AppDelegate::applicationWillTerminate() {
    // Running transfers keep their resume data and the list is on disk before the process ends.
    if (DownloadManager* downloads = parts_.downloadsIfMade())
        downloads->cancelAllDownloads();
    // The start's check may be replacing the library file: the process ends after it.
    parts_.database().waitForCheck();
    platform::logLine(QStringLiteral("applicationWillTerminate"));
}

void AppDelegate::terminal() {
    QCoreApplication::quit();
}

void AppDelegate::showHelp() {
    platform::openWebAddress(AppInfo::helpPage());
}

void AppDelegate::showPreferences() {
    mainWindowController().showPreferences();
}

void AppDelegate::showMainWindow() {
    MainWindowController& controller = mainWindowController();
    QMainWindow* window = controller.window();
    if (!window->isVisible())
        controller.showWindow();
    // A minimized window comes back in the size it had.
    if (window->isMinimized())
        window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window->raise();
    window->activateWindow();
}

void AppDelegate::startHelper(bool isFirstInstall) {
    if (isFirstInstall) {
        setLoginItemEnabled(parts_.preferences().autolaunch());
    } else {
        // The entry may name a program that moved, or be missing after a first start that
        // ended before its import: at every start it is made to match this installation.
        refreshLoginItem();
        launchHelperIfNotRunning();
    }
}

void AppDelegate::launchHelperIfNotRunning() {
    const QString helper = helperBundleIdentifier();
    if (!platform::isApplicationRunning(helper) && !helperProgram().isEmpty())
        platform::launchApplication(helper);
}

void AppDelegate::setLoginItemEnabled(bool enabled) {
    const QString helper = helperBundleIdentifier();
    if (!enabled) {
        platform::setLoginItemEnabled(helper, {}, false);
        return;
    }
    const QString program = helperProgram();
    if (program.isEmpty())
        return;
    platform::setLoginItemEnabled(helper, program, true);
    launchHelperIfNotRunning();
}

void AppDelegate::refreshLoginItem() {
    const bool enabled = parts_.preferences().autolaunch();
    const QString program = enabled ? helperProgram() : QString();
    if (enabled && program.isEmpty())
        return;
    if (!platform::refreshLoginItem(helperBundleIdentifier(), program, enabled))
        platform::logLine(QStringLiteral("login item not written: ") +
                          platform::autostartEntryPath(helperBundleIdentifier()));
}

QString AppDelegate::helperProgram() {
    const QString helper = helperBundleIdentifier();
    const QString program = platform::executableForIdentifier(helper);
    if (program.isEmpty() && !helperMissingAlert_) {
        const QStringList looked = platform::executableCandidates(helper);
        platform::logLine(QStringLiteral("TavvelHelper not found, looked in: ") + looked.join(QStringLiteral(", ")));
        auto* alert = new QMessageBox(QMessageBox::Warning, tr("TavvelHelper Not Found"),
                                      tr("The video wallpaper cannot start: its player, TavvelHelper, is not "
                                         "installed with this Tavvel."),
                                      QMessageBox::Ok);
        alert->setObjectName(QStringLiteral("helperMissingAlert"));
        alert->setAccessibleName(alert->windowTitle());
        alert->setTextFormat(Qt::PlainText);
        alert->setInformativeText(tr("Looked for it at:\n%1").arg(looked.join(u'\n')));
        alert->setAttribute(Qt::WA_DeleteOnClose);
        alert->show();
        helperMissingAlert_ = alert;
    }
    return program;
}

void AppDelegate::uploadCrashFiles() {
    const QString dir = crash::directory();
    if (dir.isEmpty() || !QFileInfo(dir).isDir())
        return;
    // Each upload holds its file open: a folder of a thousand reports sent at once would run
    // out of file handles, so a few go at a time and each one that ends starts the next.
    pendingCrashFiles_ = crash::reportsToUpload(dir);
    for (int i = 0; i < crash::kUploadsAtOnce; ++i)
        uploadNextCrashFile();
}

void AppDelegate::uploadNextCrashFile() {
    if (pendingCrashFiles_.isEmpty())
        return;
    const QString path = pendingCrashFiles_.takeFirst();
    platform::logLine(QFileInfo(path).fileName());
    // Only a file the service answered for goes; offline, it waits for the next start.
    QPointer<AppDelegate> self(this);
    parts_.web().uploadCrashDump(QUrl::fromLocalFile(path), [self, path](const std::optional<QString>&, bool finished) {
        if (finished && !QFile::remove(path))
            platform::logLine(QStringLiteral("delete crash file failure"));
        if (self)
            self->uploadNextCrashFile();
    });
}

bool AppDelegate::versionIsLower(const QString& stored, const QString& current) {
    return compareVersions(stored, current) < 0;
}

MainWindowController& AppDelegate::mainWindowController() {
    if (!mainWindowController_) {
        mainWindowController_ = std::make_unique<MainWindowController>(parts_);
        installMainMenu(mainWindowController_->window()->menuBar());
    }
    return *mainWindowController_;
}

void AppDelegate::installMainMenu(QMenuBar* menuBar) {
    QMenu* menu = menuBar->addMenu(tr("&Tavvel"));
    menu->setObjectName(QStringLiteral("applicationMenu"));
    QAction* settings = menu->addAction(tr("Settings..."), this, &AppDelegate::showPreferences);
    settings->setObjectName(QStringLiteral("settingsAction"));
    settings->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    QAction* help = menu->addAction(tr("Help"), this, &AppDelegate::showHelp);
    help->setObjectName(QStringLiteral("helpAction"));
    QAction* newFeatures = menu->addAction(tr("What's New..."), this,
                                           [this] { mainWindowController().showNewFeatures(); });
    newFeatures->setObjectName(QStringLiteral("newFeaturesAction"));
    menu->addSeparator();
    QAction* quit = menu->addAction(tr("Quit"), qApp, &QCoreApplication::quit);
    quit->setObjectName(QStringLiteral("quitAction"));
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
}
