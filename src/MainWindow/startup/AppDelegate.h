#pragma once
#include "MainWindow/startup/MainParts.h"
#include "shared/Disposable.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

class MainWindowController;
class QMenuBar;
class QMessageBox;

// The life of Tavvel: the start-up sequence, the desktop player's start and login item, the
// main window on start and on reopen, the quit with the desktop player, the application menu.
class AppDelegate : public QObject {
    Q_OBJECT
public:
    explicit AppDelegate(const MainParts& parts);
    ~AppDelegate() override;

    // The bundle identifier of the desktop player (its bus name and autostart entry).
    static QString helperBundleIdentifier();
    // The desktop player's quit notice.
    static QString helperDidTerminateNotification();
    // The value start-up passes as `n` of the launch heartbeat and the install report.
    static QString launchN() { return QStringLiteral("1000"); }

    // Takes the program's bus name and connects the application's events; the start-up then
    // runs on the first turn of the event loop. False when another Tavvel runs: it has been
    // asked to show its window and this process should exit.
    bool attachToApplication();

    // The start-up sequence.
    void applicationDidFinishLaunching();
    // A second start (or the desktop player's "Main Window") reopens the running program.
    bool applicationShouldHandleReopen();
    void applicationWillTerminate();
    // The desktop player quit.
    void terminal();

    void showHelp();
    void showPreferences();
    void showMainWindow();
    void startHelper(bool isFirstInstall);
    void launchHelperIfNotRunning();
    // Writes or removes the desktop player's autostart entry; enabling also starts the player
    // when it is not running. Disabling never stops a running player.
    void setLoginItemEnabled(bool enabled);
    // With `autolaunch` on, the autostart entry starts this installation's player (written
    // again when missing or naming another); off, there is none.
    void refreshLoginItem();
    // This installation's player; empty when it is not there, which is logged and shown in
    // an alert naming the places looked at (not again while that alert is open).
    QString helperProgram();
    // The library's check at start has ended: the samples again when it was replaced with
    // nothing carried, then the desktop player's start (now or after the first import), the alert.
    void libraryChecked(bool isFirstInstall);
    // Tells once that the library file was set aside, where it was kept, and how many of its
    // rows the new library holds (`carried`: none when it was no library at all).
    void showLibraryReplacedAlert(const QString& setAside, std::optional<int> carried, bool someUnread);
    static QString libraryReplacedText(std::optional<int> carried, bool someUnread);
    // Uploads the crash reports of earlier runs, a few at a time; each is deleted once the
    // service answered.
    void uploadCrashFiles();

    // True when `stored` is an earlier version than `current`, by their numbers.
    static bool versionIsLower(const QString& stored, const QString& current);

    MainWindowController& mainWindowController();
    bool hasMainWindowController() const { return mainWindowController_ != nullptr; }
    bool isWaitingForFirstImport() const { return importDefaultVideo_ != nullptr; }

private:
    void installMainMenu(QMenuBar* menuBar);
    void uploadNextCrashFile();

    QStringList pendingCrashFiles_;

    MainParts parts_;
    std::unique_ptr<MainWindowController> mainWindowController_;
    DisposablePtr autolaunchObserveDispose_;
    DisposablePtr importDefaultVideo_;
    DisposablePtr terminalObservation_;
    std::vector<DisposablePtr> wallpaperObservations_;
    bool attached_ = false;
    QPointer<QMessageBox> helperMissingAlert_;
};
