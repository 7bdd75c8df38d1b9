// The desktop player's life seen from the main window, with real players on the test's own
// session bus: a video that crashes the player is skipped by the next start (or leaves the
// wallpaper off) and the strip names it; a file the player cannot decode is named too.
#include "MainWindow/locallibrary/NowPlayingView.h"
#include "MainWindow/locallibrary/PlayerBarView.h"
#include "MainWindow/startup/PlayerStatus.h"
#include "platform/DefaultsSuite.h"
#include "platform/DistributedNotificationCenter.h"
#include "platform/WallpaperProblem.h"
#include "shared/LocalVideoDBManager.h"
#include "shared/Preferences.h"
#include "support/MainWindowTestSupport.h"
#include "support/ProcessHelpers.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QUrl>

#include <csignal>
#include <memory>
#include <vector>

namespace {
VideoDetail clipRow(const QTemporaryDir& folder, const QString& sign, const QString& title, const QString& clip) {
    VideoDetail row = testsupport::video(sign, title);
    row.url = QUrl::fromLocalFile(testsupport::copyOfTestVideo(folder, clip, sign + QStringLiteral(".mp4")))
                  .toString(QUrl::FullyEncoded);
    return row;
}
}  // namespace

TEST(PlayerLife, ACrashingVideoIsSkippedThenLeavesTheWallpaperOffAndTheStripSaysWhich) {
    testsupport::actAsMainProgram();
    testsupport::emptyLibrary();
    platform::helperDefaults().remove(QStringLiteral("CrashedVideos"));
    platform::helperDefaults().remove(QStringLiteral("WallpaperProblem"));
    platform::helperDefaults().synchronize();
    QTemporaryDir folder;
    LocalVideoDBManager& database = LocalVideoDBManager::shared();
    // A title that looks like markup is shown as the text it is.
    ASSERT_TRUE(database.insertVideo(clipRow(folder, "a", "Sunrise <b>1</b>", "clip_12_7s.mp4")) ==
                LocalVideoDBManager::InsertResult::inserted);
    ASSERT_TRUE(database.insertVideo(clipRow(folder, "b", "Harbour", "clip_12_7s.mp4")) ==
                LocalVideoDBManager::InsertResult::inserted);
    Preferences& preferences = Preferences::shared();
    preferences.setPlayModel(0);
    preferences.setPlayingVideoSign(QStringLiteral("a"));
    preferences.setIsOpenPlayer(true);
    preferences.setIsPlaying(true);
    preferences.setAlreadyImportVideo(true);

    PlayerStatus status(platform::DistributedNotificationCenter::defaultCenter());
    std::vector<std::unique_ptr<QProcess>> players;
    QByteArray output;  // of the newest player
    status.relaunch = [&] {
        output.clear();
        players.push_back(std::make_unique<QProcess>());
        testsupport::startChild(*players.back(), QStringLiteral(TAVVEL_HELPER_PROGRAM), {});
    };
    status.watch();
    PlayerBarView bar(preferences, database, nullptr);
    bar.setPlayerStatus(&status);
    const NowPlayingView& strip = *bar.nowPlayingView();
    const auto plays = [&](const char* sign) {
        return QTest::qWaitFor(
            [&] {
                output += players.back()->readAllStandardOutput();
                return output.contains(QByteArray("playing ") + sign + '\n');
            },
            20000);
    };
    status.relaunch();
    ASSERT_TRUE(plays("a")) << output.toStdString();
    EXPECT_TRUE(QTest::qWaitFor([&] { return status.state() == PlayerStatus::State::Running; }, 10000));
    EXPECT_TRUE(strip.problemText().isEmpty());

    const struct {
        const char* victim;
        const char* next;  // played by the restarted player; none: the wallpaper is off
        QString said;
    } crashes[] = {
        {"a", "b",
         "The player crashed while playing \"Sunrise <b>1</b>\". That video is skipped until you choose it again."},
        {"b", nullptr,
         "The player crashed while playing \"Harbour\" and no other video can be played: the video wallpaper is off."},
    };
    for (const auto& c : crashes) {
        SCOPED_TRACE(c.victim);
        const size_t before = players.size();
        testsupport::signalProcess(players.back()->processId(), SIGSEGV);
        ASSERT_TRUE(QTest::qWaitFor([&] { return players.size() == before + 1; }, 10000)) << "restarted";
        ASSERT_TRUE(QTest::qWaitFor([&] { return strip.problemText() == c.said; }, 20000))
            << strip.problemText().toStdString();
        if (c.next) {
            EXPECT_TRUE(plays(c.next)) << output.toStdString();
            EXPECT_EQ(strip.statusText(), "Playing");
        } else {
            // The player switches itself off once its start-up is done, just after it said so:
            // a write the killed player's settings lock no longer holds up.
            EXPECT_TRUE(QTest::qWaitFor([&] { return !preferences.isOpenPlayer(); }, 30000));
            EXPECT_EQ(strip.statusText(), "No Video Played");
            EXPECT_FALSE(bar.playButton()->isEnabled());
        }
        EXPECT_FALSE(output.contains("playing " + QByteArray(c.victim) + '\n'));
    }

    // Chosen again, the video gets its try and the line goes; a file the player cannot decode is
    // named with the reason, the wallpaper goes off, and nothing starts over.
    PlayerBarView::playVideo(preferences, QStringLiteral("a"));
    ASSERT_TRUE(plays("a")) << output.toStdString();
    EXPECT_TRUE(QTest::qWaitFor([&] { return strip.problemText().isEmpty(); }, 10000));
    ASSERT_TRUE(database.insertVideo(clipRow(folder, "c", "Broken", "truncated.mp4")) ==
                LocalVideoDBManager::InsertResult::inserted);
    PlayerBarView::playVideo(preferences, QStringLiteral("c"));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return strip.problemText() ==
                   "Cannot play \"Broken\": this video format is not supported. The video wallpaper is off.";
        },
        20000))
        << strip.problemText().toStdString();
    EXPECT_TRUE(QTest::qWaitFor([&] { return strip.statusText() == "No Video Played"; }, 20000));
    EXPECT_EQ(players.size(), 3u);
    EXPECT_EQ(players.back()->state(), QProcess::Running);

    players.back()->terminate();
    EXPECT_TRUE(players.back()->waitForFinished(15000));
    EXPECT_EQ(players.size(), 3u) << "an orderly end is not a crash";
}
