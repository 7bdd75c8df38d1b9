// The status menu: its items with one and with two screens, its actions and its reactions to
// settings written elsewhere, and its rebuild after a screen change.
#include "HelperRig.h"
#include "VideoClips.h"
#include "platform/AppLauncher.h"
#include "platform/BusName.h"
#include "platform/Bundle.h"
#include "player/AppDelegate.h"
#include "player/StatusBarManager.h"
#include "shared/AppInfo.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QGuiApplication>
#include <QMenu>
#include <QProcess>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTemporaryFile>

namespace {
const bool bundleSet = [] {
    platform::setMainBundle({QStringLiteral("1.2.3"), QStringLiteral("45"), QStringLiteral("com.zembo.TavvelHelper")});
    return true;
}();

// A child run of one test of this program on two offscreen screens.
constexpr const char* kTwoScreensVariable = "TAVVEL_MENU_TWO_SCREENS";

bool onTwoScreens() {
    return qEnvironmentVariableIsSet(kTwoScreensVariable);
}

void runOnTwoScreens() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    QTemporaryFile config;
    ASSERT_TRUE(config.open());
    config.write(R"({"screens":[
        {"name":"A","x":0,"y":0,"width":1920,"height":1080,"logicalDpi":96,"logicalBpi":96,"dpr":1},
        {"name":"B","x":1920,"y":0,"width":1280,"height":1024,"logicalDpi":96,"logicalBpi":96,"dpr":1}]})");
    config.flush();
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen:configfile=") + config.fileName());
    env.insert(QString::fromLatin1(kTwoScreensVariable), QStringLiteral("1"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=%1.%2")
                     .arg(QLatin1String(info->test_suite_name()), QLatin1String(info->name()))});
    ASSERT_TRUE(child.waitForFinished(60000));
    const QByteArray output = child.readAll();
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
}

// The player's manager over fakes, the settings object that the menu observes, and the menu.
struct MenuRig {
    MenuRig() {
        rig.make();
        rig.manager->setupWindows();
        menu = std::make_unique<StatusBarManager>(*rig.prefs, *rig.manager);
    }
    Preferences& prefs() { return *rig.prefs; }
    // The texts of the status menu, "-" for a separator.
    QStringList titles() const {
        QStringList out;
        for (QAction* a : menu->statusMenu()->actions())
            out.append(a->isSeparator() ? QStringLiteral("-") : a->text());
        return out;
    }
    QAction* item(const QString& title) const {
        for (QAction* a : menu->statusMenu()->actions())
            if (a->text() == title)
                return a;
        return nullptr;
    }
    QStringList screenMarks() const {
        QStringList out;
        for (QAction* a : menu->lonelyMenu()->actions())
            if (a->isChecked())
                out.append(a->text());
        return out;
    }
    QString arrangementMarks() const {
        return QString::fromLatin1("%1%2%3").arg(menu->comboItem()->isChecked() ? "I" : "-",
                                                 menu->dynamicItem()->isChecked() ? "M" : "-",
                                                 menu->lonelyItem()->isChecked() ? "S" : "-");
    }
    // Another program's write, as the settings' re-read brings it in.
    void writeElsewhere(const QString& key, const QVariant& value) {
        platform::DefaultsSuite other(rig.library.suite.filePath());
        other.setObject(key, value);
        other.synchronize();
        rig.prefs->updateUserDefaultFromDisk();
    }

    PlayerRig rig;
    std::unique_ptr<StatusBarManager> menu;
};
}  // namespace

TEST(StatusMenu, OneScreen) {
    ASSERT_TRUE(bundleSet);
    ASSERT_EQ(QGuiApplication::screens().size(), 1);
    MenuRig m;
    m.menu->buildStatusMenu();
    EXPECT_EQ(m.titles(), (QStringList{"Main Window", "1.2.3(45)", "Check for Updates...", "-", "Close Video Wallpaper",
                                       "Pause", "Hide Desktop Icon", "Mute", "-", "-", "Quit"}));
    const QList<QAction*> items = m.menu->statusMenu()->actions();
    EXPECT_FALSE(m.menu->statusMenu()->separatorsCollapsible());
    for (int i = 0; i < items.size(); ++i) {
        EXPECT_EQ(items[i]->isEnabled(), i != 1) << i;
        EXPECT_EQ(items[i]->shortcut(), i == 10 ? QKeySequence(Qt::CTRL | Qt::Key_Q) : QKeySequence()) << i;
        EXPECT_EQ(items[i]->menu(), nullptr) << i;
    }
    EXPECT_EQ(items[4], m.menu->toggleVideoDestopItem());
    EXPECT_EQ(items[5], m.menu->playPauseItem());
    EXPECT_EQ(items[6], m.menu->hideDesktopIconItem());
    EXPECT_EQ(items[7], m.menu->muteItem());
    EXPECT_FALSE(m.menu->muteItem()->isChecked());
    EXPECT_FALSE(m.menu->hideDesktopIconItem()->isChecked());
    EXPECT_EQ(m.menu->observationCount(), 5);
    // The arrangement the player uses (combo by default) is marked in the hidden submenu too.
    EXPECT_EQ(m.arrangementMarks(), "I--");
    EXPECT_EQ(m.screenMarks(), QStringList{"1"});
}

TEST(StatusMenu, BuiltWhileClosedAndMuted) {
    PlayerRig rig;
    rig.library.suite.setBool(PreferencesKey::isOpenPlayer, false);
    rig.library.suite.setBool(PreferencesKey::isPlaying, false);
    rig.library.suite.setBool(PreferencesKey::mute, true);
    rig.make();
    StatusBarManager menu(*rig.prefs, *rig.manager);
    menu.buildStatusMenu();
    EXPECT_EQ(menu.toggleVideoDestopItem()->text(), "Open Video Wallpaper");
    EXPECT_EQ(menu.playPauseItem()->text(), "Play");
    EXPECT_FALSE(menu.playPauseItem()->isEnabled());
    EXPECT_FALSE(menu.hideDesktopIconItem()->isEnabled());
    EXPECT_TRUE(menu.muteItem()->isChecked());  // from the player, which reads the setting
}

TEST(StatusMenu, TwoScreens) {
    if (!onTwoScreens())
        return runOnTwoScreens();
    ASSERT_EQ(QGuiApplication::screens().size(), 2);
    MenuRig m;
    m.rig.manager->setScreenType(VideoPlayerScreenType::lonely);
    m.rig.manager->setScreenIndex(5);
    m.menu->buildStatusMenu();
    EXPECT_EQ(m.titles(), (QStringList{"Main Window", "1.2.3(45)", "Check for Updates...", "-", "Close Video Wallpaper",
                                       "Pause", "Hide Desktop Icon", "Mute", "-", "Screen", "-", "Quit"}));
    QMenu* screen = m.menu->statusMenu()->actions()[9]->menu();
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen->title(), "Screen");
    ASSERT_EQ(screen->actions().size(), 3);
    EXPECT_EQ(screen->actions()[0]->text(), "Integration");
    EXPECT_EQ(screen->actions()[1]->text(), "Mirror");
    EXPECT_EQ(screen->actions()[2]->text(), "Single");
    QMenu* single = screen->actions()[2]->menu();
    ASSERT_EQ(single, m.menu->lonelyMenu());
    EXPECT_EQ(single->title(), "Single");
    ASSERT_EQ(single->actions().size(), 2);
    for (int i = 0; i < 2; ++i) {
        QAction* a = single->actions()[i];
        EXPECT_EQ(a->text(), QString::number(i + 1));
        EXPECT_EQ(a->data().toInt(), i);
        EXPECT_EQ(a->shortcut(), QKeySequence(QStringLiteral("Ctrl+%1").arg(i + 1)));
    }
    // Index 5 of two screens marks the first; nothing else is marked by the build.
    EXPECT_EQ(m.screenMarks(), QStringList{"1"});
    EXPECT_EQ(m.arrangementMarks(), "---");

    // A negative index has the same fallback; an index in range marks its screen.
    m.rig.manager->setScreenIndex(-3);
    m.menu->fillScreenMenu(single);
    EXPECT_EQ(m.screenMarks(), QStringList{"1"});
    m.rig.manager->setScreenIndex(1);
    m.menu->screenDidChanged();
    EXPECT_EQ(m.screenMarks(), QStringList{"2"});
}

TEST(StatusMenu, ChoosingAScreen) {
    if (!onTwoScreens())
        return runOnTwoScreens();
    MenuRig m;
    m.menu->buildStatusMenu();
    QStringList writes;
    QObject::connect(&m.prefs(), &Preferences::monitorArrangeChanged,
                     [&](qint64 v) { writes << QString("arrange %1").arg(v); });
    QObject::connect(&m.prefs(), &Preferences::screenIndexChanged,
                     [&](qint64 v) { writes << QString("index %1").arg(v); });
    m.rig.log.take();
    m.menu->lonelyMenu()->actions()[1]->trigger();
    EXPECT_EQ(writes, (QStringList{"arrange 2", "index 1"}));
    EXPECT_EQ(m.rig.manager->screenType(), VideoPlayerScreenType::lonely);
    EXPECT_EQ(m.rig.manager->screenIndex(), 1);
    EXPECT_TRUE(m.rig.log.lines.contains("make w2"));  // the windows were rebuilt
    EXPECT_EQ(m.rig.manager->windowList().size(), 1u);
    EXPECT_EQ(m.arrangementMarks(), "--S");
    EXPECT_EQ(m.screenMarks(), QStringList{"2"});
    EXPECT_EQ(m.prefs().monitorArrange(), 2);
    EXPECT_EQ(m.prefs().screenIndex(), 1);
}

TEST(StatusMenu, OnOffAndPlayPause) {
    MenuRig m;
    m.menu->buildStatusMenu();
    FakePlayer& player = m.rig.player();
    m.rig.log.take();

    m.menu->toggleVideoDestopItem()->trigger();
    EXPECT_FALSE(m.prefs().isOpenPlayer());
    EXPECT_EQ(m.menu->toggleVideoDestopItem()->text(), "Open Video Wallpaper");
    EXPECT_FALSE(m.menu->playPauseItem()->isEnabled());
    EXPECT_FALSE(m.menu->hideDesktopIconItem()->isEnabled());
    EXPECT_FALSE(m.rig.window(0).visible);

    m.menu->toggleVideoDestopItem()->trigger();
    EXPECT_TRUE(m.prefs().isOpenPlayer());
    EXPECT_EQ(m.menu->toggleVideoDestopItem()->text(), "Close Video Wallpaper");
    EXPECT_TRUE(m.menu->playPauseItem()->isEnabled());
    EXPECT_TRUE(m.rig.window(0).visible);

    m.rig.log.take();
    m.menu->playPauseItem()->trigger();
    EXPECT_EQ(m.menu->playPauseItem()->text(), "Play");
    EXPECT_FALSE(player.isPlaying());
    EXPECT_FALSE(m.prefs().isPlaying());
    // The menu pauses; the player's own observation of the setting pauses once more.
    EXPECT_EQ(m.rig.log.take(), (QStringList{"pause", "pause"}));

    m.menu->playPauseItem()->trigger();
    EXPECT_EQ(m.menu->playPauseItem()->text(), "Pause");
    EXPECT_TRUE(player.isPlaying());
    EXPECT_TRUE(m.prefs().isPlaying());
    const QStringList calls = m.rig.log.take();
    ASSERT_TRUE(calls.contains("play"));
    ASSERT_TRUE(calls.contains("w0 back"));
    EXPECT_LT(calls.indexOf("w0 back"), calls.indexOf("play")) << calls.join(", ").toStdString();  // placed first
}

TEST(StatusMenu, MuteHideAndArrangement) {
    MenuRig m;
    m.rig.library.suite.setInteger(PreferencesKey::screenIndex, 1);
    m.menu->buildStatusMenu();

    m.menu->muteItem()->trigger();
    EXPECT_TRUE(m.rig.manager->isMuted());
    EXPECT_TRUE(m.menu->muteItem()->isChecked());
    EXPECT_TRUE(m.prefs().mute());
    m.menu->muteItem()->trigger();
    EXPECT_FALSE(m.rig.manager->isMuted());
    EXPECT_FALSE(m.menu->muteItem()->isChecked());
    EXPECT_FALSE(m.prefs().mute());

    const bool playingBefore = m.prefs().isPlaying();
    m.menu->hideDesktopIconItem()->trigger();
    EXPECT_TRUE(m.menu->desktopIconIsHiden());
    EXPECT_TRUE(m.menu->hideDesktopIconItem()->isChecked());
    EXPECT_TRUE(m.rig.manager->isHideDesktopIcon());
    EXPECT_TRUE(m.rig.window(0).visible);
    EXPECT_EQ(m.prefs().isPlaying(), playingBefore);

    const qint64 storedIndex = m.prefs().screenIndex();
    m.menu->dynamicItem()->trigger();
    EXPECT_EQ(m.rig.manager->screenType(), VideoPlayerScreenType::dynamic);
    EXPECT_EQ(m.prefs().monitorArrange(), 1);
    EXPECT_EQ(m.arrangementMarks(), "-M-");
    EXPECT_EQ(m.prefs().screenIndex(), storedIndex);

    m.menu->comboItem()->trigger();
    EXPECT_EQ(m.rig.manager->screenType(), VideoPlayerScreenType::combo);
    EXPECT_EQ(m.prefs().monitorArrange(), 0);
    EXPECT_EQ(m.arrangementMarks(), "I--");
}

TEST(StatusMenu, FollowsSettingsWrittenElsewhere) {
    MenuRig m;
    m.menu->buildStatusMenu();
    m.menu->hideDesktopIconItem()->trigger();
    ASSERT_TRUE(m.rig.manager->isHideDesktopIcon());

    m.writeElsewhere(PreferencesKey::isOpenPlayer, false);
    EXPECT_EQ(m.menu->toggleVideoDestopItem()->text(), "Open Video Wallpaper");
    EXPECT_FALSE(m.menu->playPauseItem()->isEnabled());
    EXPECT_FALSE(m.menu->hideDesktopIconItem()->isEnabled());
    EXPECT_FALSE(m.menu->hideDesktopIconItem()->isChecked());
    EXPECT_FALSE(m.menu->desktopIconIsHiden());
    EXPECT_FALSE(m.rig.manager->isHideDesktopIcon());

    m.writeElsewhere(PreferencesKey::isOpenPlayer, true);
    EXPECT_EQ(m.menu->toggleVideoDestopItem()->text(), "Close Video Wallpaper");
    EXPECT_TRUE(m.menu->playPauseItem()->isEnabled());
    EXPECT_TRUE(m.menu->hideDesktopIconItem()->isEnabled());
    EXPECT_FALSE(m.menu->hideDesktopIconItem()->isChecked());

    m.writeElsewhere(PreferencesKey::mute, true);
    EXPECT_TRUE(m.menu->muteItem()->isChecked());
    m.writeElsewhere(PreferencesKey::isPlaying, false);
    EXPECT_EQ(m.menu->playPauseItem()->text(), "Play");

    m.writeElsewhere(PreferencesKey::monitorArrange, 1);
    EXPECT_EQ(m.arrangementMarks(), "-M-");
    for (int outOfRange : {7, -1}) {
        m.writeElsewhere(PreferencesKey::monitorArrange, outOfRange);
        EXPECT_EQ(m.arrangementMarks(), "-M-") << outOfRange;
    }
    m.writeElsewhere(PreferencesKey::monitorArrange, 2);
    EXPECT_EQ(m.arrangementMarks(), "--S");

    m.writeElsewhere(PreferencesKey::screenIndex, 0);
    EXPECT_EQ(m.screenMarks(), QStringList{"1"});
    m.writeElsewhere(PreferencesKey::screenIndex, 4);
    EXPECT_TRUE(m.screenMarks().isEmpty());
}

TEST(StatusMenu, RemovedMenuFollowsNothingAndRebuildKeepsStates) {
    MenuRig m;
    m.menu->buildStatusMenu();
    m.menu->hideDesktopIconItem()->trigger();
    QAction* const toggle = m.menu->toggleVideoDestopItem();

    m.menu->removeStatusMenu();
    EXPECT_EQ(m.menu->observationCount(), 0);
    EXPECT_EQ(m.menu->statusMenu(), nullptr);
    EXPECT_EQ(m.menu->barItem()->contextMenu(), nullptr);
    m.prefs().setMute(true);
    EXPECT_FALSE(m.menu->muteItem()->isChecked());

    m.menu->buildStatusMenu();
    EXPECT_EQ(m.menu->observationCount(), 5);
    EXPECT_EQ(m.menu->barItem()->contextMenu(), m.menu->statusMenu());
    EXPECT_EQ(m.menu->toggleVideoDestopItem(), toggle);
    EXPECT_TRUE(m.menu->hideDesktopIconItem()->isChecked());
    EXPECT_TRUE(m.menu->desktopIconIsHiden());
    // Only the new observations run: one reaction per write.
    int toggles = 0;
    QObject::connect(m.menu->muteItem(), &QAction::toggled, [&] { ++toggles; });
    m.prefs().setMute(true);
    EXPECT_TRUE(m.menu->muteItem()->isChecked());
    EXPECT_EQ(toggles, 1);
}

TEST(StatusMenu, ScreenChangeRebuildsWithFiveObservations) {
    // The delegate drives its own menu over a manager on fakes.
    HelperRig rig(QStringLiteral("http://127.0.0.1:9"));
    rig.manager.setupWindows();
    StatusBarManager& menu = rig.menu;
    menu.buildStatusMenu();
    menu.hideDesktopIconItem()->trigger();
    ASSERT_TRUE(menu.hideDesktopIconItem()->isChecked());

    for (int i = 0; i < 3; ++i)
        rig.delegate.applicationDidChangeScreenParameters();
    EXPECT_EQ(menu.observationCount(), 5);
    EXPECT_TRUE(menu.hideDesktopIconItem()->isChecked());
    EXPECT_TRUE(menu.desktopIconIsHiden());
    EXPECT_EQ(menu.barItem()->contextMenu(), menu.statusMenu());
}

TEST(StatusMenu, MainWindowAsksTheRunningMainProgramToShowItself) {
    // This process stands in for a running main program: it owns the main program's bus name
    // and serves its reopen request, as the main program does.
    const QString mainProgram = QString::fromLatin1(platform::kMainAppIdentifier);
    ASSERT_TRUE(platform::claimBusName(mainProgram));
    int reopened = 0;
    platform::setReopenHandler([&reopened] { ++reopened; });
    MenuRig m;
    m.menu->buildStatusMenu();
    QAction* mainWindow = m.item(QStringLiteral("Main Window"));
    ASSERT_NE(mainWindow, nullptr);
    mainWindow->trigger();
    EXPECT_TRUE(playertest::waitFor([&] { return reopened == 1; }, 10000));
    mainWindow->trigger();
    EXPECT_TRUE(playertest::waitFor([&] { return reopened == 2; }, 10000));
    platform::setReopenHandler(nullptr);
}
