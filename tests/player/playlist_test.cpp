// The play list and the play modes, the settings reactions and the faults that the player mends,
// over fake screens and a fake player, with real settings and database files.
#include "PlayerFakes.h"
#include "platform/WallpaperProblem.h"
#include "player/CrashGuard.h"
#include "support/DatabaseLock.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <optional>
#include <set>

namespace {
QStringList replaces(const QStringList& lines) {
    QStringList out;
    for (const QString& line : lines)
        if (line.startsWith(QLatin1String("replace ")))
            out.append(line.mid(8));
    return out;
}

QString storedSign(PlayerRig& rig) {
    return rig.prefs->playingVideoSign().value_or(QStringLiteral("<none>"));
}
}  // namespace

TEST(PlayList, ListModePlaysInTableOrderSkipsMissingFilesAndWraps) {
    PlayerRig rig;
    for (const char* s : {"a", "b", "c", "d"})
        rig.library.addVideo(QString::fromLatin1(s), QLatin1String(s) != QLatin1String("c"));
    rig.library.suite.setInteger(PreferencesKey::playModel, 1);
    rig.make();
    FakePlayer& player = rig.player();
    EXPECT_EQ(replaces(rig.log.take()), QStringList{QStringLiteral("a.mp4")});

    QStringList played;
    for (int i = 0; i < 4; ++i) {
        player.finishCurrent();
        played.append(player.currentFile());
        EXPECT_EQ(storedSign(rig), rig.cursor());
    }
    EXPECT_EQ(played, (QStringList{"b.mp4", "d.mp4", "a.mp4", "b.mp4"}));
    // The next item plays at the player's rate: the advance never calls play itself.
    EXPECT_FALSE(rig.log.take().contains(QStringLiteral("play")));
}

TEST(PlayList, RandomModePlaysEveryRowOncePerPassThenDrawsANewOrder) {
    PlayerRig rig;
    const QStringList all{"a", "b", "c", "d", "e"};
    for (const QString& s : all)
        rig.library.addVideo(s);
    rig.library.suite.setInteger(PreferencesKey::playModel, 2);
    rig.make();
    FakePlayer& player = rig.player();
    const QStringList firstOrder = rig.order();
    EXPECT_EQ(std::set<QString>(firstOrder.begin(), firstOrder.end()), std::set<QString>(all.begin(), all.end()));

    QStringList pass{rig.cursor()};
    for (int i = 0; i < 4; ++i) {
        player.finishCurrent();
        pass.append(rig.cursor());
    }
    EXPECT_EQ(pass, firstOrder);

    // At the end of the pass a new order is drawn and play goes on at its first entry.
    player.finishCurrent();
    const QStringList secondOrder = rig.order();
    EXPECT_NE(secondOrder, firstOrder);  // the seeded draw gives another order
    EXPECT_EQ(rig.cursor(), secondOrder.first());
    EXPECT_EQ(player.currentFile(), secondOrder.first() + QStringLiteral(".mp4"));
    EXPECT_EQ(storedSign(rig), secondOrder.first());
}

TEST(PlayList, ShuffleIsAPermutationAndLeavesItsInputAlone) {
    std::vector<VideoDetail> rows(6);
    for (size_t i = 0; i < rows.size(); ++i)
        rows[i].sign = QString::number(i);
    std::mt19937 rng(7);
    const auto out = VideoPlayerManager::shuffledVideoList(rows, [&](quint32 n) { return quint32(rng()) % n; });
    ASSERT_EQ(out.size(), rows.size());
    std::set<QString> seen;
    for (const auto& v : out)
        seen.insert(v.sign);
    EXPECT_EQ(seen.size(), rows.size());
    EXPECT_EQ(rows[0].sign, QStringLiteral("0"));
    // Always drawing the last one reverses the list; a source out of range cannot read past it.
    const auto reversed = VideoPlayerManager::shuffledVideoList(rows, [](quint32 n) { return n - 1; });
    EXPECT_EQ(reversed.front().sign, QStringLiteral("5"));
    const auto clamped = VideoPlayerManager::shuffledVideoList(rows, [](quint32) { return 99u; });
    EXPECT_EQ(clamped.size(), rows.size());
}

TEST(PlayList, SingleModeSeeksToTheStartAndDoesNotRewriteTheSign) {
    PlayerRig rig;
    rig.library.addVideo(QStringLiteral("a"));
    rig.library.addVideo(QStringLiteral("b"));
    rig.make();
    FakePlayer& player = rig.player();
    rig.manager->syncPlayingSign();
    rig.log.take();
    QSignalSpy signs(rig.prefs.get(), &Preferences::playingVideoSignChanged);
    player.finishCurrent();
    EXPECT_EQ(rig.log.take(), QStringList{QStringLiteral("seek0")});
    EXPECT_EQ(signs.count(), 0);
    EXPECT_EQ(rig.cursor(), QStringLiteral("a"));
}

TEST(PlayList, ChoosingAVideoPlaysItOnceAndTheWriteBackEndsTheLoop) {
    PlayerRig rig;
    for (const char* s : {"a", "b", "c"})
        rig.library.addVideo(QString::fromLatin1(s));
    rig.make();
    rig.manager->setupWindows();
    rig.log.take();
    QSignalSpy signs(rig.prefs.get(), &Preferences::playingVideoSignChanged);

    // As the main program does it: the setting changes, the observer plays the video, and the
    // player's own write-back of the same sign ends at the "already current" step.
    rig.prefs->setPlayingVideoSign(QStringLiteral("c"));
    EXPECT_EQ(replaces(rig.log.lines), QStringList{QStringLiteral("c.mp4")});
    EXPECT_EQ(rig.cursor(), QStringLiteral("c"));
    EXPECT_EQ(signs.count(), 1);
    rig.log.take();

    EXPECT_TRUE(rig.manager->playVideoWithSign(QStringLiteral("c")));
    EXPECT_TRUE(rig.log.take().isEmpty());

    // Also while the wallpaper is closed.
    rig.prefs->setIsOpenPlayer(false);
    rig.log.take();
    EXPECT_TRUE(rig.manager->playVideoWithSign(QStringLiteral("c")));
    EXPECT_TRUE(rig.log.take().isEmpty());
}

TEST(PlayList, ChosenVideoWithMissingFileLosesItsRowAndChangesNothingElse) {
    PlayerRig rig;
    rig.library.addVideo(QStringLiteral("a"));
    rig.library.addVideo(QStringLiteral("gone"), false);
    rig.library.addRow(QStringLiteral("plain"), rig.library.videoPath(QStringLiteral("a.mp4")));  // a path, no URL
    rig.make();
    rig.manager->setupWindows();
    rig.log.take();

    EXPECT_FALSE(rig.manager->videoIsPlayable(QStringLiteral("plain")));
    EXPECT_FALSE(rig.manager->playVideoWithSign(QStringLiteral("gone")));
    EXPECT_EQ(rig.library.signsInDatabase(), (QStringList{"a", "plain"}));
    EXPECT_EQ(rig.cursor(), QStringLiteral("a"));
    EXPECT_TRUE(rig.log.take().isEmpty());
    EXPECT_FALSE(rig.manager->playVideoWithSign(QStringLiteral("no such row")));
}

// The database held by the other program (a long removal) says nothing about its rows: a player
// started meanwhile keeps the stored choice, a video chosen meanwhile keeps its row, and both play
// once the database answers.
TEST(PlayList, AHeldDatabaseLosesNoRowAndNoChoiceAndPlaysOnceItAnswers) {
    PlayerRig rig;
    for (const char* s : {"a", "b", "c"})
        rig.library.addVideo(QString::fromLatin1(s));
    rig.library.suite.setObject(PreferencesKey::currentVideoSign, QStringLiteral("b"));
    const QString path = rig.library.db.databasePath();
    auto lock = std::make_unique<testsupport::WriteLock>("BEGIN EXCLUSIVE;", path);
    ASSERT_TRUE(lock->held);
    rig.make();
    rig.manager->setupWindows();
    ASSERT_TRUE(rig.manager->hasPlayer());
    EXPECT_EQ(storedSign(rig), QStringLiteral("b"));
    lock.reset();
    auto playing = [&rig](const char* file) {
        return QTest::qWaitFor([&] { return rig.platform.player->currentFile() == QLatin1String(file); }, 10000);
    };
    EXPECT_TRUE(playing("b.mp4"));
    EXPECT_EQ(storedSign(rig), QStringLiteral("b"));

    lock = std::make_unique<testsupport::WriteLock>("BEGIN EXCLUSIVE;", path);
    ASSERT_TRUE(lock->held);
    rig.prefs->setPlayingVideoSign(QStringLiteral("c"));
    EXPECT_EQ(rig.cursor(), QStringLiteral("b"));
    // Its look-ups again never wait on this thread, the one that draws the wallpaper.
    QElapsedTimer clock, gap;
    for (clock.start(), gap.start(); clock.elapsed() < 4500;) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        EXPECT_LT(gap.restart(), 500);
    }
    lock.reset();
    EXPECT_EQ(rig.library.signsInDatabase(), (QStringList{"a", "b", "c"}));
    EXPECT_TRUE(playing("c.mp4"));
    EXPECT_EQ(rig.cursor(), QStringLiteral("c"));
}

TEST(PlayList, EmptySignIsNoSignAndDeletesNothing) {
    PlayerRig rig;
    rig.library.addVideo(QStringLiteral("a"));
    rig.library.addRow(QString(), TestLibrary::fileUrl(rig.library.videoPath(QStringLiteral("x.mp4"))));
    rig.library.addRow(QStringLiteral("b"), QStringLiteral("file:///nowhere/b.mp4"));
    rig.library.suite.setObject(PreferencesKey::currentVideoSign, QStringLiteral("a"));
    rig.make();
    rig.manager->setupWindows();
    rig.log.take();

    EXPECT_FALSE(rig.manager->playVideoWithSign(QString()));
    EXPECT_EQ(rig.library.signsInDatabase().size(), 3);

    // The other program removes the sign: the re-read brings it back as the empty text.
    rig.library.suite.remove(PreferencesKey::currentVideoSign);
    rig.library.suite.synchronize();
    rig.prefs->updateUserDefaultFromDisk();
    EXPECT_EQ(rig.library.signsInDatabase().size(), 3);
    EXPECT_EQ(rig.cursor(), QStringLiteral("a"));
    EXPECT_TRUE(replaces(rig.log.take()).isEmpty());
}

TEST(PlayList, EmptyDatabaseGivesAPlayerWithoutItemAndRemovesTheStoredSign) {
    PlayerRig rig;
    rig.library.suite.setObject(PreferencesKey::currentVideoSign, QStringLiteral("old"));
    rig.make();
    rig.manager->setupWindows();
    ASSERT_TRUE(rig.manager->hasPlayer());
    EXPECT_EQ(rig.platform.player->currentItem(), 0u);
    EXPECT_EQ(rig.prefs->playingVideoSign(), std::nullopt);
    EXPECT_FALSE(rig.library.suite.contains(PreferencesKey::currentVideoSign));
    // The end of no item seeks and writes back nothing new.
    rig.log.take();
    rig.manager->playNextVideo();
    EXPECT_EQ(rig.log.take(), QStringList{QStringLiteral("seek0")});
}

TEST(PlayList, WhenEveryEntryFailsTheAdvanceStopsAfterOnePass) {
    PlayerRig rig;
    for (const char* s : {"a", "b", "c"})
        rig.library.addVideo(QString::fromLatin1(s));
    rig.library.suite.setInteger(PreferencesKey::playModel, 1);
    rig.make();
    FakePlayer& player = rig.player();
    rig.log.take();
    player.failCurrent();  // a
    player.failCurrent();  // b
    player.failCurrent();  // c: the whole list failed
    EXPECT_EQ(replaces(rig.log.take()), (QStringList{"b.mp4", "c.mp4"}));
    player.failCurrent();
    EXPECT_TRUE(rig.log.take().isEmpty());

    // A new list starts a new pass.
    rig.manager->updateVideoList();
    player.failCurrent();
    EXPECT_EQ(replaces(rig.log.take()), QStringList{QStringLiteral("a.mp4")});

    // A successful start too: a (1) -> b starts -> b (1) -> c (2) -> a (3) stops.
    player.start(player.currentItem());
    player.failCurrent();
    player.failCurrent();
    player.failCurrent();
    EXPECT_EQ(replaces(rig.log.take()), (QStringList{"b.mp4", "c.mp4"}));
}

TEST(PlayList, RandomModeWithEveryEntryFailingStopsToo) {
    PlayerRig rig;
    for (const char* s : {"a", "b", "c"})
        rig.library.addVideo(QString::fromLatin1(s));
    rig.library.suite.setInteger(PreferencesKey::playModel, 2);
    rig.make();
    FakePlayer& player = rig.player();
    rig.log.take();
    for (int i = 0; i < 10; ++i)
        player.failCurrent();
    EXPECT_EQ(replaces(rig.log.take()).size(), 2);
}

TEST(PlayList, EventsOfAReplacedItemAreIgnored) {
    PlayerRig rig;
    for (const char* s : {"a", "b", "c"})
        rig.library.addVideo(QString::fromLatin1(s));
    rig.library.suite.setInteger(PreferencesKey::playModel, 1);
    rig.make();
    FakePlayer& player = rig.player();
    const quint64 old = player.currentItem();
    rig.manager->playVideoWithSign(QStringLiteral("c"));
    rig.log.take();
    player.finish(old);
    player.fail(old);
    EXPECT_TRUE(rig.log.take().isEmpty());
    EXPECT_EQ(rig.cursor(), QStringLiteral("c"));
    player.finishCurrent();
    EXPECT_EQ(rig.cursor(), QStringLiteral("a"));
}

TEST(PlayList, SettingsMapIntegersDifferentlyAtStartAndOnChange) {
    EXPECT_EQ(screenTypeFromInteger(-1), std::nullopt);
    EXPECT_EQ(screenTypeFromInteger(3), std::nullopt);
    EXPECT_EQ(screenTypeFromInteger(2), VideoPlayerScreenType::lonely);
    EXPECT_EQ(playModelFromInteger(-2), std::nullopt);

    for (qint64 stored : {qint64(3), qint64(-1)}) {
        PlayerRig rig;
        rig.library.suite.setInteger(PreferencesKey::monitorArrange, stored);
        rig.library.suite.setInteger(PreferencesKey::playModel, 3);
        rig.make();
        EXPECT_EQ(rig.manager->screenType(), VideoPlayerScreenType::dynamic) << stored;
        EXPECT_EQ(rig.manager->playModel(), VideoPlayerPlayModel::single);

        rig.prefs->setMonitorArrange(0);
        EXPECT_EQ(rig.manager->screenType(), VideoPlayerScreenType::combo);
        rig.prefs->setMonitorArrange(stored);
        EXPECT_EQ(rig.manager->screenType(), VideoPlayerScreenType::lonely) << stored;
        rig.prefs->setPlayModel(2);
        EXPECT_EQ(rig.manager->playModel(), VideoPlayerPlayModel::random);
        rig.prefs->setPlayModel(3);
        EXPECT_EQ(rig.manager->playModel(), VideoPlayerPlayModel::single);
    }
    PlayerRig rig;
    rig.library.suite.setInteger(PreferencesKey::monitorArrange, 2);
    rig.make();
    EXPECT_EQ(rig.manager->screenType(), VideoPlayerScreenType::lonely);
}

TEST(PlayList, SettingsReactionsReachThePlayer) {
    PlayerRig rig;
    rig.library.addVideo(QStringLiteral("a"));
    rig.library.suite.setDouble(PreferencesKey::volume, 0.25);
    rig.library.suite.setBool(PreferencesKey::mute, true);
    rig.make();
    EXPECT_FALSE(rig.manager->hasPlayer());  // made on first use
    EXPECT_TRUE(rig.manager->isMuted());
    EXPECT_FLOAT_EQ(rig.manager->volume(), 0.25f);
    EXPECT_EQ(rig.log.take(), (QStringList{"make player", "replace a.mp4"}));

    rig.prefs->setMute(false);
    rig.prefs->setVolume(0.75f);
    EXPECT_FALSE(rig.platform.player->isMuted());
    EXPECT_FLOAT_EQ(rig.platform.player->volume(), 0.75f);

    rig.manager->setupWindows();
    rig.log.take();
    rig.prefs->setIsPlaying(false);
    EXPECT_EQ(rig.log.take(), QStringList{QStringLiteral("pause")});
    rig.prefs->setIsPlaying(true);
    EXPECT_EQ(rig.log.take(), (QStringList{"w0 level", "w0 back", "play"}));
    rig.prefs->setIsOpenPlayer(false);
    EXPECT_EQ(rig.log.take(), (QStringList{"pause", "w0 out"}));
}

TEST(PlayList, UpdateVideoListFromAnotherProcessRebuildsWithoutTouchingThePicture) {
    const QString dbusSend = QStandardPaths::findExecutable(QStringLiteral("dbus-send"));
    if (dbusSend.isEmpty())
        GTEST_SKIP() << "dbus-send is missing";
    PlayerRig rig;
    rig.library.addVideo(QStringLiteral("a"));
    rig.library.addVideo(QStringLiteral("b"));
    rig.library.suite.setInteger(PreferencesKey::playModel, 1);
    rig.library.suite.setObject(PreferencesKey::currentVideoSign, QStringLiteral("b"));
    rig.make();
    rig.manager->setupWindows();
    EXPECT_EQ(rig.cursor(), QStringLiteral("b"));
    rig.library.addVideo(QStringLiteral("c"));
    rig.log.take();

    const int rc = QProcess::execute(
        dbusSend, {QStringLiteral("--session"), QStringLiteral("--type=signal"),
                   QStringLiteral("/com/zembo/tavvel/notifications"),
                   QStringLiteral("com.zembo.tavvel.Notifications.Notify"), QStringLiteral("string:UpdateVideoList")});
    ASSERT_EQ(rc, 0);
    QElapsedTimer clock;
    clock.start();
    while (rig.order().size() != 3 && clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_EQ(rig.order(), (QStringList{"a", "b", "c"}));
    EXPECT_EQ(rig.cursor(), QStringLiteral("b"));
    EXPECT_TRUE(rig.log.take().isEmpty());  // no pause, no reload
    rig.platform.player->finishCurrent();
    EXPECT_EQ(rig.platform.player->currentFile(), QStringLiteral("c.mp4"));
}

// In list mode a video that crashed the player is passed over like a missing file, also by the
// next start; with every entry skipped the wallpaper goes off; a video chosen again plays, and
// switching the wallpaper on gives every one another try. Each step says why in the player's own
// settings.
TEST(PlayList, AVideoThatCrashedThePlayerIsSkippedUntilChosenAgain) {
    const QString a = QStringLiteral("crash-a"), b = QStringLiteral("crash-b");
    PlayerRig rig;
    rig.library.addVideo(a);
    rig.library.addVideo(b);
    rig.library.suite.setObject(PreferencesKey::currentVideoSign, a);
    rig.library.suite.setInteger(PreferencesKey::playModel, 1);
    rig.make();
    rig.manager->skipCrashedVideo(a);
    rig.player();
    EXPECT_EQ(replaces(rig.log.take()), QStringList{b + ".mp4"});
    EXPECT_EQ(platform::wallpaperProblem(),
              "The player crashed while playing \"crash-a\". That video is skipped until you choose it again.");
    EXPECT_EQ(VideoPlayerManager(rig.platform, *rig.prefs, rig.library.db).crashedVideos(), QStringList{a});

    rig.manager->skipCrashedVideo(b);
    rig.manager->openPlayer();
    EXPECT_EQ(replaces(rig.log.take()), QStringList{"-"});
    QCoreApplication::processEvents();
    EXPECT_FALSE(rig.prefs->isOpenPlayer());
    EXPECT_TRUE(platform::wallpaperProblem().contains("no other video can be played"))
        << platform::wallpaperProblem().toStdString();

    rig.prefs->setPlayingVideoSign(a);  // the cursor stays on b, so this is a new choice
    EXPECT_EQ(replaces(rig.log.take()), QStringList{a + ".mp4"});
    EXPECT_EQ(rig.manager->crashedVideos(), QStringList{b});
    EXPECT_EQ(platform::wallpaperProblem(), QString());
    rig.prefs->setIsOpenPlayer(true);
    EXPECT_TRUE(rig.manager->crashedVideos().isEmpty());
    EXPECT_TRUE(VideoPlayerManager(rig.platform, *rig.prefs, rig.library.db).crashedVideos().isEmpty());
}

// The crash record names the video loaded, and none while the wallpaper is off.
TEST(PlayList, TheCrashRecordNamesAVideoOnlyWhileOneIsLoaded) {
    PlayerRig rig;
    rig.library.addVideo(QStringLiteral("a"));
    rig.make();
    rig.manager->setupWindows();
    EXPECT_EQ(crashguard::playingVideo(), QStringLiteral("a"));
    rig.prefs->setIsOpenPlayer(false);
    EXPECT_EQ(crashguard::playingVideo(), QString());
    rig.prefs->setIsOpenPlayer(true);
    EXPECT_EQ(crashguard::playingVideo(), QStringLiteral("a"));
}

// In single mode the chosen video is the user's: when it cannot be played nothing stands in for
// it, the stored sign and the switch stay, no window shows, the user is told why, and it is tried
// again (after a pause, or as soon as its file or folder changes) and plays once it can.
TEST(PlayList, SingleModeKeepsTheChoiceAndTheSwitchWhenTheChosenVideoCannotPlay) {
    enum Cause { crashed, deleted, unreadableFolder, failedToLoad };
    const struct {
        Cause cause;
        const char* said;
    } cases[] = {
        {crashed, "The player crashed while playing \"a\". That video is skipped until you choose it again."},
        {deleted, "Cannot play \"a\": the file is no longer there."},
        {unreadableFolder, "Cannot play \"a\": the file cannot be read (Permission denied)."},
        {failedToLoad, "Cannot play \"a\": this video format is not supported."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.said);
        platform::clearWallpaperProblem();
        platform::forgetPlayerCrashes();
        PlayerRig rig;
        rig.library.addVideo(QStringLiteral("a"));
        rig.library.addVideo(QStringLiteral("b"));
        rig.library.suite.setObject(PreferencesKey::currentVideoSign, QStringLiteral("a"));
        const QString file = rig.library.videoPath(QStringLiteral("a.mp4"));
        std::optional<DeniedFolder> denied;
        if (c.cause == deleted) {
            ASSERT_TRUE(QFile::remove(file));
        }
        if (c.cause == unreadableFolder) {
            ASSERT_TRUE(denied.emplace(QFileInfo(file).absolutePath()).held());
        }
        rig.make();
        if (c.cause == crashed)
            rig.manager->skipCrashedVideo(QStringLiteral("a"));
        rig.manager->setupWindows();
        if (c.cause == failedToLoad)
            rig.platform.player->failCurrent();
        QCoreApplication::processEvents();

        EXPECT_EQ(storedSign(rig), QStringLiteral("a"));
        EXPECT_TRUE(rig.prefs->isOpenPlayer());
        EXPECT_EQ(rig.platform.player->currentItem(), 0u);
        EXPECT_FALSE(replaces(rig.log.take()).contains(QStringLiteral("b.mp4")));
        EXPECT_FALSE(rig.window(0).visible);
        EXPECT_EQ(platform::wallpaperProblem(), QString::fromUtf8(c.said));
        EXPECT_EQ(rig.library.signsInDatabase(), (QStringList{"a", "b"}));
        if (c.cause == crashed)
            continue;  // until the user chooses it again

        // Mended: the folder readable again, the file back or rewritten.
        if (denied)
            denied->restore();
        if (c.cause != unreadableFolder) {
            QFile again(file);
            ASSERT_TRUE(again.open(QIODevice::WriteOnly));
            again.write("video again");
        }
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return rig.platform.player->currentFile() == QLatin1String("a.mp4"); }, 10000));
        rig.platform.player->start(rig.platform.player->currentItem());
        EXPECT_TRUE(rig.window(0).visible);
        EXPECT_EQ(storedSign(rig), QStringLiteral("a"));
        EXPECT_EQ(platform::wallpaperProblem(), QString());
    }
}

// A chosen video whose folder cannot be read is out of sight, not gone: its row stays, the user
// is told, and it plays once the folder can be read again.
TEST(PlayList, AChosenVideoOutOfSightKeepsItsRowAndPlaysOnceItCanBeRead) {
    PlayerRig rig;
    rig.library.addVideo(QStringLiteral("a"));
    ASSERT_TRUE(QDir(rig.library.dir.path()).mkpath(QStringLiteral("away")));
    const QString away = rig.library.dir.filePath(QStringLiteral("away/far.mp4"));
    ASSERT_TRUE(QFile::copy(rig.library.videoPath(QStringLiteral("a.mp4")), away));
    rig.library.addRow(QStringLiteral("far"), TestLibrary::fileUrl(away));
    rig.make();
    rig.manager->setupWindows();
    rig.log.take();
    {
        DeniedFolder denied(rig.library.dir.filePath(QStringLiteral("away")));
        ASSERT_TRUE(denied.held());
        rig.prefs->setPlayingVideoSign(QStringLiteral("far"));
        EXPECT_EQ(rig.library.signsInDatabase(), (QStringList{"a", "far"}));
        EXPECT_TRUE(platform::wallpaperProblem().startsWith("Cannot play \"far\": the file cannot be read"))
            << platform::wallpaperProblem().toStdString();
        EXPECT_EQ(rig.cursor(), QStringLiteral("a"));
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return rig.platform.player->currentFile() == QLatin1String("far.mp4"); }, 10000));
    EXPECT_EQ(storedSign(rig), QStringLiteral("far"));
}

// A late answer of a held database moves the cursor to the chosen video; it opens the player
// only while the switch is on. Switched off, a list read again loads nothing.
TEST(PlayList, ALateAnswerOpensNoPlayerAndLoadsNothingWhileSwitchedOff) {
    for (const bool chooseFirst : {true, false}) {
        SCOPED_TRACE(chooseFirst ? "a choice looked up late" : "the list read late");
        PlayerRig rig;
        for (const char* s : {"a", "b", "c"})
            rig.library.addVideo(QString::fromLatin1(s));
        rig.library.suite.setBool(PreferencesKey::isOpenPlayer, chooseFirst);
        rig.make();
        if (chooseFirst)
            rig.manager->setupWindows();
        auto lock = std::make_unique<testsupport::WriteLock>("BEGIN EXCLUSIVE;", rig.library.db.databasePath());
        ASSERT_TRUE(lock->held);
        if (chooseFirst) {
            rig.prefs->setPlayingVideoSign(QStringLiteral("c"));
            rig.prefs->setIsOpenPlayer(false);
        } else {
            rig.manager->setupWindows();  // the player is made while the list cannot be read
        }
        rig.log.take();
        lock.reset();
        QTest::qWait(2500);  // past the look-up's next try
        EXPECT_EQ(rig.cursor(), chooseFirst ? QStringLiteral("c") : QStringLiteral("a"));
        EXPECT_TRUE(replaces(rig.log.take()).isEmpty());
        EXPECT_FALSE(rig.platform.player->isPlaying());
        EXPECT_FALSE(rig.window(0).visible);
        EXPECT_EQ(crashguard::playingVideo(), QString());
    }
}

// The video playing removed (one, or all by Clear All): it stops and the next plays as the mode
// says; a file changed on disk under the player is loaded again.
TEST(PlayList, TheVideoPlayingRemovedOrChangedOnDiskIsNotPlayedOn) {
    PlayerRig rig;
    for (const char* s : {"a", "b", "c"})
        rig.library.addVideo(QString::fromLatin1(s));
    rig.library.suite.setInteger(PreferencesKey::playModel, 1);
    rig.library.suite.setObject(PreferencesKey::currentVideoSign, QStringLiteral("b"));
    rig.make();
    rig.manager->setupWindows();
    rig.log.take();

    QFile rewritten(rig.library.videoPath(QStringLiteral("b.mp4")));
    ASSERT_TRUE(rewritten.open(QIODevice::ReadWrite));
    rewritten.write("other video data");
    rewritten.close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return replaces(rig.log.lines) == QStringList{"b.mp4"}; }, 5000));

    rig.library.db.deleteVideoWithSign(QStringLiteral("b"));
    rig.manager->updateVideoList();
    EXPECT_EQ(rig.platform.player->currentFile(), QStringLiteral("c.mp4"));
    EXPECT_EQ(storedSign(rig), QStringLiteral("c"));

    for (const char* s : {"a", "c"})
        rig.library.db.deleteVideoWithSign(QString::fromLatin1(s));
    rig.manager->updateVideoList();
    EXPECT_EQ(rig.platform.player->currentItem(), 0u);
    EXPECT_EQ(crashguard::playingVideo(), QString());
}
