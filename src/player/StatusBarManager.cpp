#include "player/StatusBarManager.h"

#include "platform/AppLauncher.h"
#include "platform/Log.h"
#include "platform/gui/ScreenParametersWatcher.h"
#include "player/VideoPlayerManager.h"
#include "shared/AppInfo.h"
#include "shared/Preferences.h"

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>

namespace {
// The status icon: a screen with a play mark, drawn as a mask so the desktop can colour it.
QIcon statusBarImage() {
    QIcon icon;
    for (int size : {16, 22, 32, 44}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal u = size / 22.0;
        painter.setPen(QPen(Qt::black, 1.6 * u));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(2 * u, 3 * u, 18 * u, 13 * u), 2 * u, 2 * u);
        painter.drawLine(QPointF(7 * u, 19.5 * u), QPointF(15 * u, 19.5 * u));
        QPainterPath play;
        play.moveTo(9 * u, 6.5 * u);
        play.lineTo(14.5 * u, 9.5 * u);
        play.lineTo(9 * u, 12.5 * u);
        play.closeSubpath();
        painter.fillPath(play, Qt::black);
        painter.end();
        icon.addPixmap(pixmap);
    }
    icon.setIsMask(true);
    return icon;
}

// Qt flips a checkable action before reporting the trigger; the menu's actions decide the
// state themselves from the state the item had when it was chosen.
bool undoAutomaticToggle(QAction* action) {
    const bool before = action->isCheckable() ? !action->isChecked() : action->isChecked();
    if (action->isCheckable())
        action->setChecked(before);
    return before;
}

int screenCount() {
    return int(QGuiApplication::screens().size());
}
}  // namespace

StatusBarManager& StatusBarManager::shared() {
    static auto* manager = new StatusBarManager(Preferences::shared(), VideoPlayerManager::shared());
    return *manager;
}

StatusBarManager::StatusBarManager(Preferences& preferences, VideoPlayerManager& player, QObject* parent)
    : QObject(parent),
      preferences_(preferences),
      player_(player),
      openVideoTitle_(tr("Open Video Wallpaper", "start/stop Video Desktop")),
      closeVideoTitle_(tr("Close Video Wallpaper", "start/stop Video Desktop")),
      playTitle_(tr("Play", "play/pause")),
      pauseTitle_(tr("Pause", "pause play")) {}

StatusBarManager::~StatusBarManager() {
    observersDispose_.clear();
    delete statusMenu_.data();
}

QSystemTrayIcon* StatusBarManager::barItem() {
    if (!barItem_) {
        barItem_ = new QSystemTrayIcon(this);
        barItem_->setIcon(statusBarImage());
        barItem_->setToolTip(QStringLiteral("Tavvel"));
        // With the older embedding protocol a click does not open the menu by itself.
        connect(barItem_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger && statusMenu_ && !statusMenu_->isVisible())
                statusMenu_->popup(QCursor::pos());
        });
    }
    return barItem_;
}

QAction* StatusBarManager::makeItem(const QString& title, void (StatusBarManager::*action)(QAction*)) {
    auto* item = new QAction(title, this);
    if (action) {
        connect(item, &QAction::triggered, this, [this, item, action] {
            undoAutomaticToggle(item);
            (this->*action)(item);
        });
    }
    return item;
}

QAction* StatusBarManager::toggleVideoDestopItem() {
    if (!toggleVideoDestopItem_)
        toggleVideoDestopItem_ = makeItem(preferences_.isOpenPlayer() ? closeVideoTitle_ : openVideoTitle_,
                                          &StatusBarManager::toggleVideoDesktop);
    return toggleVideoDestopItem_;
}

QAction* StatusBarManager::playPauseItem() {
    if (!playPauseItem_) {
        playPauseItem_ = makeItem(preferences_.isPlaying() ? pauseTitle_ : playTitle_,
                                  &StatusBarManager::playPauseAction);
        playPauseItem_->setEnabled(preferences_.isOpenPlayer());
    }
    return playPauseItem_;
}

QAction* StatusBarManager::hideDesktopIconItem() {
    if (!hideDesktopIconItem_) {
        hideDesktopIconItem_ = new QAction(tr("Hide Desktop Icon", "hide desktop icon"), this);
        hideDesktopIconItem_->setCheckable(true);
        hideDesktopIconItem_->setEnabled(preferences_.isOpenPlayer());
        connect(hideDesktopIconItem_, &QAction::triggered, this, [this] {
            undoAutomaticToggle(hideDesktopIconItem_);
            hideDesktopIconAction();
        });
    }
    return hideDesktopIconItem_;
}

QAction* StatusBarManager::muteItem() {
    if (!muteItem_) {
        muteItem_ = makeItem(tr("Mute", "Mute desktop video"), &StatusBarManager::mutePlayerViewAction);
        muteItem_->setCheckable(true);
        muteItem_->setChecked(player_.isMuted());
    }
    return muteItem_;
}

QAction* StatusBarManager::comboItem() {
    if (!comboItem_) {
        comboItem_ = makeItem(tr("Integration", "make up all monitors into one player"),
                              &StatusBarManager::changeMonitorArray);
        comboItem_->setCheckable(true);
    }
    return comboItem_;
}

QAction* StatusBarManager::dynamicItem() {
    if (!dynamicItem_) {
        dynamicItem_ = makeItem(tr("Mirror", "each monitor has same content"), &StatusBarManager::changeMonitorArray);
        dynamicItem_->setCheckable(true);
    }
    return dynamicItem_;
}

QAction* StatusBarManager::lonelyItem() {
    if (!lonelyItem_) {
        lonelyItem_ = makeItem(tr("Single", "Only play on one monitor"), nullptr);
        lonelyItem_->setCheckable(true);
    }
    return lonelyItem_;
}

QMenu* StatusBarManager::lonelyMenu() {
    if (!lonelyMenu_) {
        lonelyMenu_ = std::make_unique<QMenu>(tr("Single", "Only play on one monitor"));
        fillScreenMenu(lonelyMenu_.get());
    }
    return lonelyMenu_.get();
}

void StatusBarManager::markScreenItem(QMenu* menu, qint64 index) {
    const QList<QAction*> items = menu->actions();
    if (items.isEmpty())
        return;
    // An index past the end, or a negative one, marks the first screen.
    const qsizetype position = index >= 0 && index < items.size() ? qsizetype(index) : 0;
    items[position]->setChecked(true);
}

void StatusBarManager::fillScreenMenu(QMenu* menu) {
    for (QAction* old : menu->actions()) {
        menu->removeAction(old);
        if (old->parent() == this)
            old->deleteLater();
    }
    const int n = screenCount();
    for (int i = 0; i < n; ++i) {
        const QString number = QString::number(i + 1);
        QAction* item = makeItem(number, &StatusBarManager::changeScreenIndex);
        item->setCheckable(true);
        item->setShortcut(QKeySequence(QStringLiteral("Ctrl+") + number));
        item->setData(i);  // the item's tag
        menu->addAction(item);
    }
    markScreenItem(menu, player_.screenIndex());
}

void StatusBarManager::screenDidChanged() {
    fillScreenMenu(lonelyMenu());
}

void StatusBarManager::buildStatusMenu() {
    if (!screenChangesObserved_) {
        // One connection serves every build: a refill is the same however often it runs.
        screenChangesObserved_ = true;
        connect(&platform::ScreenParametersWatcher::shared(),
                &platform::ScreenParametersWatcher::screenParametersChanged, this, &StatusBarManager::screenDidChanged);
    }

    observersDispose_.push_back(observe(&preferences_, &Preferences::isPlayingChanged, this, [this](bool playing) {
        playPauseItem()->setText(playing ? pauseTitle_ : playTitle_);
    }));

    QSystemTrayIcon* item = barItem();

    auto* menu = new QMenu;
    menu->setSeparatorsCollapsible(false);

    QAction* mainWindowItem = new QAction(tr("Main Window", "use to show main window"), menu);
    connect(mainWindowItem, &QAction::triggered, this, &StatusBarManager::showMainWindowMenuItemAction);
    QAction* quitItem = new QAction(tr("Quit", "quit application"), menu);
    quitItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(quitItem, &QAction::triggered, this, &StatusBarManager::quitMenuItemAction);
    QAction* screenItem = new QAction(tr("Screen", "title"), menu);
    auto* screenMenu = new QMenu(tr("Screen", "title"), menu);

    lonelyItem()->setMenu(lonelyMenu());
    screenMenu->addAction(comboItem());
    screenMenu->addAction(dynamicItem());
    screenMenu->addAction(lonelyItem());

    // The arrangement the player uses now; marks are only set here, never cleared.
    switch (player_.screenType()) {
    case VideoPlayerScreenType::dynamic: dynamicItem()->setChecked(true); break;
    case VideoPlayerScreenType::lonely: markScreenItem(lonelyMenu(), player_.screenIndex()); break;
    default: comboItem()->setChecked(true); break;
    }

    menu->addAction(mainWindowItem);
    QAction* versionItem = menu->addAction(AppInfo::versionWithBuild());
    versionItem->setEnabled(false);
    QAction* checkItem = menu->addAction(tr("Check for Updates...", "Check Update"));
    connect(checkItem, &QAction::triggered, this, &StatusBarManager::checkUpdates);
    menu->addSeparator();
    menu->addAction(toggleVideoDestopItem());
    menu->addAction(playPauseItem());
    menu->addAction(hideDesktopIconItem());
    menu->addAction(muteItem());
    menu->addSeparator();
    if (screenCount() > 1) {
        screenItem->setMenu(screenMenu);
        menu->addAction(screenItem);
    }
    menu->addSeparator();
    menu->addAction(quitItem);

    delete statusMenu_.data();
    statusMenu_ = menu;
    item->setContextMenu(menu);
    if (QSystemTrayIcon::isSystemTrayAvailable())
        item->show();
    else
        showWhenTrayAppears();

    observersDispose_.push_back(
        observe(&preferences_, &Preferences::muteChanged, this, [this](bool mute) { muteItem()->setChecked(mute); }));
    observersDispose_.push_back(observe(&preferences_, &Preferences::monitorArrangeChanged, this, [this](qint64 v) {
        if (v < 0 || v > 2)
            return;
        comboItem()->setChecked(v == 0);
        dynamicItem()->setChecked(v == 1);
        lonelyItem()->setChecked(v == 2);
    }));
    observersDispose_.push_back(observe(&preferences_, &Preferences::screenIndexChanged, this, [this](qint64 v) {
        const QList<QAction*> items = lonelyMenu()->actions();
        for (qsizetype i = 0; i < items.size(); ++i)
            items[i]->setChecked(i == v);
    }));
    observersDispose_.push_back(observe(&preferences_, &Preferences::isOpenPlayerChanged, this, [this](bool open) {
        toggleVideoDestopItem()->setText(open ? closeVideoTitle_ : openVideoTitle_);
        hideDesktopIconItem()->setEnabled(open);
        playPauseItem()->setEnabled(open);
        if (!open) {
            desktopIconIsHiden_ = false;
            player_.hideDesktopIcon(false);
            hideDesktopIconItem()->setChecked(false);
        }
    }));
}

void StatusBarManager::showWhenTrayAppears() {
    if (trayWait_)
        return;
    platform::logLine(QStringLiteral("no system tray available: the status icon appears with one"));
    trayWait_ = new QTimer(this);
    connect(trayWait_, &QTimer::timeout, this, [this] {
        if (!QSystemTrayIcon::isSystemTrayAvailable())
            return;
        trayWait_->deleteLater();
        trayWait_ = nullptr;
        platform::logLine(QStringLiteral("system tray available: the status icon is shown"));
        // Shown again: an icon shown while there was no tray never docked.
        barItem()->hide();
        barItem()->show();
    });
    trayWait_->start(1000);
}

void StatusBarManager::removeStatusMenu() {
    QSystemTrayIcon* item = barItem();
    item->setContextMenu(nullptr);
    if (statusMenu_)
        statusMenu_->deleteLater();
    statusMenu_ = nullptr;
    observersDispose_.clear();
}

void StatusBarManager::showMainWindowMenuItemAction() {
    platform::launchApplication(QString::fromLatin1(platform::kMainAppIdentifier));
}

void StatusBarManager::checkUpdates() {
    emit updateCheckRequested();
}

void StatusBarManager::toggleVideoDesktop(QAction*) {
    if (preferences_.isOpenPlayer())
        player_.closePlayer();
    else
        player_.openPlayer();
    preferences_.setIsOpenPlayer(!preferences_.isOpenPlayer());
}

void StatusBarManager::playPauseAction(QAction* sender) {
    const bool play = !preferences_.isPlaying();
    sender->setText(play ? pauseTitle_ : playTitle_);
    player_.setPlaying(play);
    preferences_.setIsPlaying(play);
}

void StatusBarManager::hideDesktopIconAction() {
    desktopIconIsHiden_ = !desktopIconIsHiden_;
    player_.hideDesktopIcon(desktopIconIsHiden_);
    hideDesktopIconItem()->setChecked(desktopIconIsHiden_);
}

void StatusBarManager::mutePlayerViewAction(QAction* sender) {
    const bool wasOn = sender->isChecked();
    player_.setMuted(!wasOn);
    sender->setChecked(!wasOn);
    preferences_.setMute(sender->isChecked());
}

void StatusBarManager::changeMonitorArray(QAction* sender) {
    const bool combo = sender == comboItem_;
    player_.setScreenType(combo ? VideoPlayerScreenType::combo : VideoPlayerScreenType::dynamic);
    player_.setScreenIndex(0);
    player_.rebuildWindows();
    preferences_.setMonitorArrange(combo ? 0 : 1);
}

void StatusBarManager::changeScreenIndex(QAction* sender) {
    const qint64 tag = sender->data().toLongLong();
    player_.setScreenType(VideoPlayerScreenType::lonely);
    player_.setScreenIndex(tag);
    player_.rebuildWindows();
    preferences_.setMonitorArrange(2);
    preferences_.setScreenIndex(tag);
}

void StatusBarManager::quitMenuItemAction() {
    QCoreApplication::quit();
}
