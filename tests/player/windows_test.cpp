// Which screens get a window, where the picture lies in each, and how the windows are ordered,
// opened, closed and rebuilt.
#include "PlayerFakes.h"

#include <gtest/gtest.h>

using Frames = QList<QRect>;

TEST(Windows, ComboFramesSpanTheBoxOfAllScreens) {
    const Frames sideBySide{QRect(0, 0, 1920, 1080), QRect(1920, 0, 2560, 1440)};
    EXPECT_EQ(VideoPlayerManager::playerViewFrames(VideoPlayerScreenType::combo, sideBySide),
              (Frames{QRect(0, 0, 4480, 1440), QRect(-1920, 0, 4480, 1440)}));

    const Frames leftOfPrimary{QRect(-1280, 0, 1280, 1024), QRect(0, 0, 1440, 900)};
    EXPECT_EQ(VideoPlayerManager::playerViewFrames(VideoPlayerScreenType::combo, leftOfPrimary),
              (Frames{QRect(0, 0, 2720, 1024), QRect(-1280, 0, 2720, 1024)}));

    // The box also holds the origin, even when no screen lies there.
    EXPECT_EQ(VideoPlayerManager::playerViewFrames(VideoPlayerScreenType::combo, {QRect(100, 50, 800, 600)}),
              Frames{QRect(-100, -50, 900, 650)});
}

TEST(Windows, DynamicAndLonelyFramesAreEachScreensOwnSize) {
    const Frames three{QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024), QRect(-800, 0, 800, 600)};
    EXPECT_EQ(VideoPlayerManager::playerViewFrames(VideoPlayerScreenType::dynamic, three),
              (Frames{QRect(0, 0, 1920, 1080), QRect(0, 0, 1280, 1024), QRect(0, 0, 800, 600)}));
    EXPECT_EQ(VideoPlayerManager::playerViewFrames(VideoPlayerScreenType::lonely, {three[1]}),
              Frames{QRect(0, 0, 1280, 1024)});

    PlayerRig rig;
    rig.platform.screenList = three;
    rig.library.suite.setInteger(PreferencesKey::monitorArrange, 1);
    rig.make();
    rig.manager->setupWindows();
    ASSERT_EQ(rig.manager->windowList().size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(rig.window(i).screen, three[qsizetype(i)]);
        EXPECT_EQ(rig.window(i).frame.size(), three[qsizetype(i)].size());
    }
}

TEST(Windows, LonelyTakesTheChosenScreenOrTheFirstWhenOutOfRange) {
    const Frames two{QRect(0, 0, 1920, 1080), QRect(1920, 0, 2560, 1440)};
    for (const auto& [index, expected] :
         std::vector<std::pair<qint64, QRect>>{{1, two[1]}, {0, two[0]}, {5, two[0]}, {2, two[0]}, {-1, two[0]}}) {
        PlayerRig rig;
        rig.platform.screenList = two;
        rig.library.suite.setInteger(PreferencesKey::monitorArrange, 2);
        rig.library.suite.setInteger(PreferencesKey::screenIndex, index);
        rig.make();
        rig.manager->setupWindows();
        ASSERT_EQ(rig.manager->windowList().size(), 1u) << index;
        EXPECT_EQ(rig.window(0).screen, expected) << index;
        EXPECT_EQ(rig.window(0).frame, QRect(QPoint(0, 0), expected.size()));
        EXPECT_EQ(rig.manager->currentScreenList(), Frames{expected});
    }
}

TEST(Windows, OpenAtStartPlacesEveryWindowPlaysAndWritesTheSignBack) {
    PlayerRig rig;
    rig.platform.screenList = {QRect(0, 0, 800, 600), QRect(800, 0, 800, 600)};
    rig.library.addVideo(QStringLiteral("a"));
    rig.library.suite.setBool(PreferencesKey::isPlaying, false);
    rig.make();
    rig.manager->setupWindows();
    // The first window's view makes the player; an arrangement change un-pauses.
    EXPECT_EQ(rig.log.take(), (QStringList{"make player", "replace a.mp4", "make w0", "w0 level", "w0 back", "make w1",
                                           "w1 level", "w1 back", "w0 level", "w0 back", "w1 level", "w1 back", "play",
                                           "w0 level", "w0 back", "w1 level", "w1 back", "play"}));
    EXPECT_EQ(rig.prefs->playingVideoSign(), QStringLiteral("a"));
    EXPECT_TRUE(rig.prefs->isPlaying());
}

TEST(Windows, ClosedAtStartMakesTheWindowsAndPlaysNothing) {
    PlayerRig rig;
    rig.platform.screenList = {QRect(0, 0, 800, 600), QRect(800, 0, 800, 600)};
    rig.library.addVideo(QStringLiteral("a"));
    rig.library.suite.setBool(PreferencesKey::isOpenPlayer, false);
    rig.make();
    rig.manager->setupWindows();
    const QStringList log = rig.log.take();
    EXPECT_EQ(rig.manager->windowList().size(), 2u);
    EXPECT_FALSE(log.contains(QStringLiteral("play")));
    EXPECT_EQ(log.mid(log.size() - 3), (QStringList{"pause", "w0 out", "w1 out"}));
    EXPECT_FALSE(rig.window(0).visible);
    EXPECT_FALSE(rig.platform.player->isPlaying());
}

TEST(Windows, NoScreenMakesNoWindowButStillAPlayer) {
    PlayerRig rig;
    rig.platform.screenList.clear();
    rig.library.addVideo(QStringLiteral("a"));
    rig.make();
    rig.manager->setupWindows();
    EXPECT_TRUE(rig.manager->windowList().empty());
    ASSERT_TRUE(rig.manager->hasPlayer());
    EXPECT_TRUE(rig.platform.player->isPlaying());
}

TEST(Windows, OpenPlayerLoadsAfreshBetweenTwoPlacings) {
    PlayerRig rig;
    rig.library.addVideo(QStringLiteral("a"));
    rig.make();
    rig.manager->setupWindows();
    rig.log.take();
    rig.manager->openPlayer();
    EXPECT_EQ(rig.log.take(), (QStringList{"w0 level", "w0 back", "replace a.mp4", "w0 level", "w0 back", "play"}));
    rig.manager->closePlayer();
    EXPECT_EQ(rig.log.take(), (QStringList{"pause", "w0 out"}));
}

TEST(Windows, HidingTheIconsWhileClosedWaitsForTheNextPlacing) {
    PlayerRig rig;
    rig.library.addVideo(QStringLiteral("a"));
    rig.library.suite.setBool(PreferencesKey::isOpenPlayer, false);
    rig.make();
    rig.manager->setupWindows();
    rig.log.take();
    rig.manager->hideDesktopIcon(true);
    EXPECT_TRUE(rig.log.take().isEmpty());
    EXPECT_TRUE(rig.manager->isHideDesktopIcon());

    rig.prefs->setIsOpenPlayer(true);
    const QStringList log = rig.log.take();
    EXPECT_TRUE(log.contains(QStringLiteral("w0 front")));
    EXPECT_FALSE(log.contains(QStringLiteral("w0 back")));

    rig.manager->hideDesktopIcon(false);
    EXPECT_EQ(rig.log.take(), (QStringList{"w0 level", "w0 back"}));
    // A workspace change orders the windows again by the present choice.
    rig.manager->hideDesktopIcon(true);
    rig.log.take();
    emit rig.platform.activeSpaceDidChange();
    EXPECT_EQ(rig.log.take(), (QStringList{"w0 level", "w0 front"}));
}

TEST(Windows, ArrangementChangesRebuildTheWindows) {
    PlayerRig rig;
    rig.platform.screenList = {QRect(0, 0, 1920, 1080), QRect(1920, 0, 2560, 1440)};
    rig.library.addVideo(QStringLiteral("a"));
    rig.make();
    rig.manager->setupWindows();
    rig.log.take();

    rig.prefs->setMonitorArrange(0);
    const QStringList log = rig.log.take();
    EXPECT_EQ(log.mid(0, 4), (QStringList{"w0 out", "w1 out", "w0 gone", "w1 gone"}));
    ASSERT_EQ(rig.manager->windowList().size(), 2u);
    EXPECT_EQ(rig.window(1).frame, QRect(-1920, 0, 4480, 1440));

    // A new screen index means the single screen, whatever the stored arrangement says.
    rig.prefs->setScreenIndex(1);
    EXPECT_EQ(rig.manager->screenType(), VideoPlayerScreenType::lonely);
    ASSERT_EQ(rig.manager->windowList().size(), 1u);
    EXPECT_EQ(rig.window(0).screen, QRect(1920, 0, 2560, 1440));
}

TEST(Windows, ScreenChangesRebuildOnlyWhileOpenAndOnlyWhenSomethingChanged) {
    PlayerRig rig;
    rig.platform.screenList = {QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};
    rig.library.addVideo(QStringLiteral("a"));
    rig.make();
    rig.manager->setupWindows();
    const int made = rig.platform.windowsMade;

    rig.manager->checkScreensChanged();
    EXPECT_EQ(rig.platform.windowsMade, made);

    rig.platform.screenList[1].moveTo(1920, 100);  // only moved
    rig.manager->checkScreensChanged();
    EXPECT_EQ(rig.platform.windowsMade, made + 2);
    rig.manager->checkScreensChanged();
    EXPECT_EQ(rig.platform.windowsMade, made + 2);

    rig.prefs->setIsOpenPlayer(false);
    rig.platform.screenList.removeLast();
    rig.manager->checkScreensChanged();
    EXPECT_EQ(rig.platform.windowsMade, made + 2);
    EXPECT_EQ(rig.manager->windowList().size(), 2u);

    // The single screen with two screens present: the counts differ, so every check rebuilds.
    rig.platform.screenList.append(QRect(1920, 0, 1280, 1024));
    rig.prefs->setIsOpenPlayer(true);
    rig.prefs->setMonitorArrange(2);
    const int before = rig.platform.windowsMade;
    rig.manager->checkScreensChanged();
    EXPECT_EQ(rig.platform.windowsMade, before + 1);
}

TEST(Windows, PlayingWhileClosedKeepsTheWallpaperClosed) {
    // The other program writes "isPlaying" true while the wallpaper is switched off.
    PlayerRig rig;
    rig.library.addVideo(QStringLiteral("a"));
    rig.library.suite.setBool(PreferencesKey::isOpenPlayer, false);
    rig.library.suite.setBool(PreferencesKey::isPlaying, false);
    rig.make();
    rig.manager->setupWindows();
    rig.log.take();
    rig.prefs->setIsPlaying(true);
    EXPECT_TRUE(rig.log.take().isEmpty());
    EXPECT_FALSE(rig.window(0).visible);
    EXPECT_FALSE(rig.platform.player->isPlaying());
    // Switched on, it plays.
    rig.prefs->setIsOpenPlayer(true);
    EXPECT_TRUE(rig.window(0).visible);
    EXPECT_TRUE(rig.platform.player->isPlaying());
}

TEST(Windows, SwitchedOnAfterScreensChangedWhileOffWindowsFollowTheScreens) {
    // A monitor added, one removed, one resized, while the wallpaper was off.
    const Frames two{QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};
    for (const Frames& changed :
         {Frames{two[0], two[1], QRect(3200, 0, 800, 600)}, Frames{two[0]}, Frames{QRect(0, 0, 1280, 720), two[1]}}) {
        PlayerRig rig;
        rig.platform.screenList = two;
        rig.library.suite.setInteger(PreferencesKey::monitorArrange, 1);
        rig.library.addVideo(QStringLiteral("a"));
        rig.make();
        rig.manager->setupWindows();
        rig.prefs->setIsOpenPlayer(false);
        rig.platform.screenList = changed;
        rig.prefs->setIsOpenPlayer(true);
        ASSERT_EQ(rig.manager->windowList().size(), size_t(changed.size())) << changed.size();
        for (size_t i = 0; i < size_t(changed.size()); ++i) {
            EXPECT_EQ(rig.window(i).screen, changed[qsizetype(i)]);
            EXPECT_EQ(rig.window(i).frame.size(), changed[qsizetype(i)].size());
            EXPECT_TRUE(rig.window(i).visible);
        }
        EXPECT_EQ(rig.manager->currentScreenList(), changed);
    }
}
