// The desktop player's life seen from the main window, with real players on the test's own
// session bus: a video that crashes the player is skipped by the next start while the choice and
// the switch stay, and the strip names it; a signal another program sends blames no video; a
// file the player cannot decode is named too.
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

TEST(PlayerLife, ACrashingVideoIsSkippedKeepingTheChoiceAndTheStripSaysWhich) {
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
        // A sanitizer build's runtime is then not the first library; that is meant here.
        const QByteArray asan = qgetenv("ASAN_OPTIONS");
        qputenv("LD_PRELOAD", FAULT_SHIM);
        qputenv("ASAN_OPTIONS", asan + ":verify_asan_link_order=0");
        testsupport::startChild(*players.back(), QStringLiteral(TAVVEL_HELPER_PROGRAM), {});
        qunsetenv("LD_PRELOAD");
        qputenv("ASAN_OPTIONS", asan);
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
        int signal;    // SIGUSR2: a real fault (the shim); SIGSEGV: sent by this test
        QString said;  // empty: nothing is skipped
    } crashes[] = {
        {SIGSEGV, {}},
        {SIGUSR2,
         "The player crashed while playing \"Sunrise <b>1</b>\". That video is skipped until you choose it again."},
    };
    for (const auto& c : crashes) {
        SCOPED_TRACE(c.signal);
        const size_t before = players.size();
        testsupport::signalProcess(players.back()->processId(), c.signal);
        ASSERT_TRUE(QTest::qWaitFor([&] { return players.size() == before + 1; }, 10000)) << "restarted";
        if (c.said.isEmpty()) {
            EXPECT_TRUE(plays("a")) << output.toStdString();
            EXPECT_TRUE(QTest::qWaitFor([&] { return strip.problemText().isEmpty(); }, 10000))
                << strip.problemText().toStdString();
            continue;
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return strip.problemText() == c.said; }, 20000))
            << strip.problemText().toStdString();
        // Said after the start's load: nothing stood in for the chosen video.
        output += players.back()->readAllStandardOutput();
        EXPECT_FALSE(output.contains("playing a\n") || output.contains("playing b\n")) << output.toStdString();
        EXPECT_TRUE(preferences.isOpenPlayer());
        EXPECT_EQ(preferences.playingVideoSign(), QStringLiteral("a"));
    }

    // Switched off and on, the video gets its try and the line goes; a file the player cannot
    // decode is named with the reason, the switch stays on, and nothing starts over.
    preferences.setIsOpenPlayer(false);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            output += players.back()->readAllStandardOutput();
            return output.contains("wallpaper switched off\n");
        },
        20000));
    preferences.setIsOpenPlayer(true);
    ASSERT_TRUE(plays("a")) << output.toStdString();
    EXPECT_TRUE(QTest::qWaitFor([&] { return strip.problemText().isEmpty(); }, 10000));
    ASSERT_TRUE(database.insertVideo(clipRow(folder, "c", "Broken", "truncated.mp4")) ==
                LocalVideoDBManager::InsertResult::inserted);
    PlayerBarView::playVideo(preferences, QStringLiteral("c"));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return strip.problemText() == "Cannot play \"Broken\": this video format is not supported."; }, 20000))
        << strip.problemText().toStdString();
    EXPECT_TRUE(preferences.isOpenPlayer());
    EXPECT_EQ(players.size(), 3u);
    EXPECT_EQ(players.back()->state(), QProcess::Running);

    players.back()->terminate();
    EXPECT_TRUE(players.back()->waitForFinished(15000));
    EXPECT_EQ(players.size(), 3u) << "an orderly end is not a crash";
}
