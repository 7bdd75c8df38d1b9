#pragma once
#include "service/UpgradeInfo.h"

#include <QObject>
#include <QString>
#include <memory>

class CustomAlertWindowController;
class Preferences;
class StatusBarManager;
class UpgradeWindowController;
class VideoPlayerManager;
class WebModel;

// The parts the desktop player's delegate drives. The program hands it its one instance of
// each (`shared()`, start-up code only); tests hand it theirs.
struct HelperParts {
    Preferences& preferences;
    VideoPlayerManager& player;
    StatusBarManager& statusBar;
    WebModel& web;

    static HelperParts shared();
};

// The desktop player's application delegate: starts the player's parts in order, passes the
// system's events on to them, runs the update check's result and tells a running main program
// when the player quits.
class AppDelegate : public QObject {
    Q_OBJECT
public:
    // The parts must outlive the delegate. The status menu's "Check for Updates..." reaches it
    // through the menu's signal.
    explicit AppDelegate(const HelperParts& parts);
    ~AppDelegate() override;

    // The name of the quit notice posted when the player ends.
    static QString helperDidTerminateNotification();

    // Connects the application's events (launch, screens, wake, quit) to this delegate.
    void attachToApplication();

    void applicationDidFinishLaunching();
    // Player and windows, status menu, wake observation, web client with the silent check.
    void startHelper();
    void applicationDidChangeScreenParameters();
    void applicationWillTerminate();
    void didWakeNotification();
    void resumeAfterWake();
    // Reloads the video when the player is open and playing. Not connected to anything on this
    // platform: there is no occlusion event, and a reload from the start on every change
    // would only interrupt the video.
    void resumeAfterOcclusion();

    // Starts an update check whose result goes to postUpgradeResult.
    void checkForUpdates(bool showUpToDate);
    // Hands the result to handleUpgradeResult on a later turn of the event loop.
    void postUpgradeResult(const UpgradeCheckResult& result, bool showUpToDate);
    void handleUpgradeResult(const UpgradeCheckResult& result, bool showUpToDate);

    CustomAlertWindowController& upToDateWindowController();
    bool hasUpToDateWindowController() const { return upToDateWindowController_ != nullptr; }
    UpgradeWindowController* upgradeWC() const { return upgradeWC_.get(); }

private:
    void showAlert(const QString& title, const QString& info);

    HelperParts parts_;
    std::unique_ptr<CustomAlertWindowController> upToDateWindowController_;
    std::unique_ptr<UpgradeWindowController> upgradeWC_;
    bool attached_ = false;
};
