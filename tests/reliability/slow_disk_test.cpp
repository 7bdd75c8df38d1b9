// The settings folder on a file system that waits on every call (a network home, a sleeping USB
// disk): neither the window's thread nor the player's, which draws the wallpaper, may wait for it.
#include "PlayerOnDisk.h"

#include <QDateTime>
#include <cstdio>
#include <gtest/gtest.h>

TEST(SlowDisk, SettingsChangesFreezeNeitherThisThreadNorTheWallpaper) {
    constexpr int delayMs = 300;  // each call of the file system, a stat as well
    // One call there takes the whole delay: a shorter wait (a busy machine) is not one of them.
    constexpr int bound = delayMs - 50;
    QTemporaryDir backing;
    const QString folder = diskrig::settingsFolder();
    diskrig::prepareLibraryAndSettings(backing.path());
    QProcess fs;
    fs.setProcessChannelMode(QProcess::MergedChannels);
    fs.start(QStringLiteral("/usr/bin/python3"),
             {QStringLiteral(SLOWFS_SCRIPT), backing.path(), folder, QString::number(delayMs)});
    fs.waitForStarted();
    if (!QTest::qWaitFor([&] { return fs.state() != QProcess::Running || diskrig::isMountPoint(folder); }, 20000) ||
        fs.state() != QProcess::Running)
        GTEST_SKIP() << "no FUSE mount here: " << fs.readAll().toStdString();
    const QString folderPath = folder;
    const auto unmount = qScopeGuard([&] {
        diskrig::unmount(folderPath);
        fs.kill();  // a detached mount ends only once the last file on it is closed
        fs.waitForFinished();
    });

    QTemporaryDir plain;
    diskrig::Player player(plain.filePath(QStringLiteral("player.wait")));
    ASSERT_TRUE(player.waitForLine("playing first", 120000)) << player.output().toStdString();
    diskrig::MountedSettings mounted(folder);  // reads the slow file once, at start-up
    Preferences& settings = mounted.settings;
    ASSERT_EQ(settings.playingVideoSign(), QStringLiteral("first"));

    diskrig::Heartbeat heartbeat;
    heartbeat.start();
    const qint64 since = QDateTime::currentMSecsSinceEpoch();
    settings.setIsPlaying(false);  // pause
    QTest::qWait(1500);
    settings.setIsPlaying(true);  // play
    QTest::qWait(4500);           // long enough for the player to read the file at least once
    // The player's own work on a new video (opening and showing it) is no wait on the settings:
    // its waits are counted over the pause and the play.
    const qint64 choiceAt = QDateTime::currentMSecsSinceEpoch();
    settings.setPlayingVideoSign(QStringLiteral("second"));  // a choice
    EXPECT_EQ(settings.playingVideoSign(), QStringLiteral("second"));
    EXPECT_TRUE(player.waitForLine("playing second", 120000)) << player.output().toStdString();
    EXPECT_LT(heartbeat.longest(), bound) << "this thread waited on the settings file";
    EXPECT_LT(player.longestWaitSince(since, choiceAt), bound) << "the wallpaper waited on the settings file";
    EXPECT_TRUE(settings.isPlaying());
    std::printf("slow disk: longest wait %lld ms here, %lld ms in the player\n", qint64(heartbeat.longest()),
                player.longestWaitSince(since, choiceAt));
}
