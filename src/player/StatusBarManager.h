#pragma once
#include "shared/Disposable.h"

#include <QObject>
#include <QMenu>
#include <QPointer>
#include <QString>
#include <memory>
#include <vector>

class QAction;
class QMenu;
class QSystemTrayIcon;
class QTimer;
class Preferences;
class VideoPlayerManager;

// The desktop player's icon in the status area with its menu: open the main program, version,
// update check, wallpaper on/off, pause, hide the desktop icons, mute, arrangement and single
// screen, quit. The menu follows five shared settings while it is built.
class StatusBarManager : public QObject {
    Q_OBJECT
public:
    // The process-wide manager over the shared settings and the shared player.
    static StatusBarManager& shared();

    // A manager over the given settings and player; `shared()` is one of these.
    StatusBarManager(Preferences& preferences, VideoPlayerManager& player, QObject* parent = nullptr);
    ~StatusBarManager() override;

    // Shows the status icon with a newly built menu and starts the five observations.
    // Call removeStatusMenu() before every further build.
    void buildStatusMenu();
    // Takes the menu off the status icon (the icon stays) and ends the observations.
    void removeStatusMenu();
    // Replaces the menu's items by one item per screen and marks the player's screen.
    void fillScreenMenu(QMenu* menu);
    // The screens changed: the screen list is refilled.
    void screenDidChanged();

    bool desktopIconIsHiden() const { return desktopIconIsHiden_; }
    int observationCount() const { return int(observersDispose_.size()); }
    QSystemTrayIcon* barItem();
    // The menu now on the status icon; null after removeStatusMenu().
    QMenu* statusMenu() const { return statusMenu_; }

    QAction* toggleVideoDestopItem();
    QAction* playPauseItem();
    QAction* hideDesktopIconItem();
    QAction* muteItem();
    QAction* comboItem();
    QAction* dynamicItem();
    QAction* lonelyItem();
    QMenu* lonelyMenu();

    // Menu actions (the item that was chosen is the sender where it matters).
    void showMainWindowMenuItemAction();
    void checkUpdates();
    void toggleVideoDesktop(QAction* sender);
    void playPauseAction(QAction* sender);
    void hideDesktopIconAction();
    void mutePlayerViewAction(QAction* sender);
    void changeMonitorArray(QAction* sender);
    void changeScreenIndex(QAction* sender);
    void quitMenuItemAction();

signals:
    // "Check for Updates..." was chosen; the application's delegate runs the check.
    void updateCheckRequested();

private:
    QAction* makeItem(const QString& title, void (StatusBarManager::*action)(QAction*));
    void markScreenItem(QMenu* menu, qint64 index);

    Preferences& preferences_;
    VideoPlayerManager& player_;

    bool desktopIconIsHiden_ = false;
    std::vector<DisposablePtr> observersDispose_;
    QSystemTrayIcon* barItem_ = nullptr;
    const QString openVideoTitle_;
    const QString closeVideoTitle_;
    const QString playTitle_;
    const QString pauseTitle_;
    QAction* toggleVideoDestopItem_ = nullptr;
    QAction* playPauseItem_ = nullptr;
    QAction* hideDesktopIconItem_ = nullptr;
    QAction* muteItem_ = nullptr;
    QAction* comboItem_ = nullptr;
    QAction* dynamicItem_ = nullptr;
    QAction* lonelyItem_ = nullptr;
    std::unique_ptr<QMenu> lonelyMenu_;

    // Shows the status icon once a tray is there: at login the panel often starts after us.
    void showWhenTrayAppears();

    QPointer<QMenu> statusMenu_;
    QTimer* trayWait_ = nullptr;
    bool screenChangesObserved_ = false;
};
