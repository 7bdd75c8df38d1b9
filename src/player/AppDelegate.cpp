#include "player/AppDelegate.h"

#include "platform/AppLauncher.h"
#include "platform/DistributedNotificationCenter.h"
#include "platform/SystemEvents.h"
#include "platform/gui/ScreenParametersWatcher.h"
#include "player/CrashGuard.h"
#include "player/CustomAlertWindowController.h"
#include "player/StatusBarManager.h"
#include "player/UpgradeWindowController.h"
#include "player/VideoPlayerManager.h"
#include "shared/AppInfo.h"
#include "shared/Preferences.h"
#include "shared/VersionCompare.h"
#include "service/WebModel.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPointer>
#include <QTimer>

HelperParts HelperParts::shared() {
    return {Preferences::shared(), VideoPlayerManager::shared(), StatusBarManager::shared(), WebModel::shared()};
}

AppDelegate::AppDelegate(const HelperParts& parts) : parts_(parts) {
    connect(&parts_.statusBar, &StatusBarManager::updateCheckRequested, this,
            [this] { checkForUpdates(/*showUpToDate=*/true); });
}

AppDelegate::~AppDelegate() = default;

QString AppDelegate::helperDidTerminateNotification() {
    static const QString name = QString::fromLatin1(platform::kHelperDidTerminateNotification);
    return name;
}

void AppDelegate::attachToApplication() {
    if (attached_)
        return;
    attached_ = true;
    // Before the first video loads: a crash on it is remembered for the next start.
    crashguard::install();
    // Connected before the status menu connects its own refill, so the menu is rebuilt first
    // and its screen list refilled after.
    connect(&platform::ScreenParametersWatcher::shared(), &platform::ScreenParametersWatcher::screenParametersChanged,
            this, &AppDelegate::applicationDidChangeScreenParameters);
    connect(qApp, &QCoreApplication::aboutToQuit, this, &AppDelegate::applicationWillTerminate);
    QTimer::singleShot(0, this, &AppDelegate::applicationDidFinishLaunching);
}

void AppDelegate::applicationDidFinishLaunching() {
    startHelper();
}

void AppDelegate::startHelper() {
    // A video that crashed the last run is not loaded again: the player would only crash again,
    // at every start (at login too, where nothing else would tell the user).
    if (const std::optional<QString> crashed = crashguard::takeCrashedVideo())
        parts_.player.skipCrashedVideo(*crashed);
    parts_.player.setupWindows();
    parts_.statusBar.buildStatusMenu();
    platform::SystemEvents& events = platform::SystemEvents::shared();
    connect(&events, &platform::SystemEvents::didWake, this, &AppDelegate::didWakeNotification, Qt::UniqueConnection);
    events.observeWake();
    checkForUpdates(/*showUpToDate=*/false);
}

void AppDelegate::applicationDidChangeScreenParameters() {
    parts_.player.checkScreensChanged();
    parts_.statusBar.removeStatusMenu();
    parts_.statusBar.buildStatusMenu();
}

void AppDelegate::applicationWillTerminate() {
    // Waits until the bus has the notice: the process ends right after this.
    platform::DistributedNotificationCenter::defaultCenter().post(helperDidTerminateNotification(),
                                                                  /*waitForDelivery=*/true);
}

void AppDelegate::didWakeNotification() {
    resumeAfterWake();
}

void AppDelegate::resumeAfterWake() {
    const Preferences& preferences = parts_.preferences;
    if (!preferences.isOpenPlayer() || !preferences.isPlaying())
        return;
    parts_.player.setPlaying(true);
}

void AppDelegate::resumeAfterOcclusion() {
    const Preferences& preferences = parts_.preferences;
    if (preferences.isOpenPlayer() && preferences.isPlaying())
        parts_.player.openPlayer();
}

void AppDelegate::checkForUpdates(bool showUpToDate) {
    QPointer<AppDelegate> self(this);
    parts_.web.checkUpgrade([self, showUpToDate](const UpgradeCheckResult& result) {
        if (self)
            self->postUpgradeResult(result, showUpToDate);
    });
}

void AppDelegate::postUpgradeResult(const UpgradeCheckResult& result, bool showUpToDate) {
    QPointer<AppDelegate> self(this);
    QMetaObject::invokeMethod(
        this,
        [self, result, showUpToDate] {
            if (self)
                self->handleUpgradeResult(result, showUpToDate);
        },
        Qt::QueuedConnection);
}

void AppDelegate::handleUpgradeResult(const UpgradeCheckResult& result, bool showUpToDate) {
    if (result.info && isNewerVersion(result.info->ver, AppInfo::version())) {
        if (upgradeWC_)
            upgradeWC_->close();
        upgradeWC_ = std::make_unique<UpgradeWindowController>();
        upgradeWC_->upgradeInfo = result.info;
        upgradeWC_->showWindow();
        return;
    }
    if (!showUpToDate)
        return;
    if (result.failed) {
        // A check that could not reach the service must not claim that the version is current.
        showAlert(tr("Fail to connect network"), QString());
        return;
    }
    const QString format = tr("%1 is currently the newest version");
    showAlert(tr("You're up to date"), format.arg(AppInfo::versionWithBuild()));
}

CustomAlertWindowController& AppDelegate::upToDateWindowController() {
    if (!upToDateWindowController_)
        upToDateWindowController_ = std::make_unique<CustomAlertWindowController>();
    return *upToDateWindowController_;
}

void AppDelegate::showAlert(const QString& title, const QString& info) {
    CustomAlertWindowController& alert = upToDateWindowController();
    alert.window();
    alert.titleLabel()->setText(title);
    alert.infoLabel()->setText(info);
    alert.infoLabel()->setVisible(!info.isEmpty());
    alert.showWindow();
}
