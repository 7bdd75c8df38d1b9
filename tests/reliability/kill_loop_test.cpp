// A download killed with SIGKILL at random moments and started again against the stand-in.
// Whatever the moment, the video ends in the library once, whole, and what was received before
// a kill is resumed rather than fetched again. Rounds: TAVVEL_KILL_ROUNDS (20 here; the bench
// runs 200).
#include "service/DownloadPaths.h"
#include "service/VideoSign.h"
#include "shared/LocalVideoDBManager.h"
#include "support/FileServing.h"
#include "support/ProcessHelpers.h"
#include "support/ServiceStandIn.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>
#include <cstdio>
#include <gtest/gtest.h>

TEST(KillLoop, EveryKilledDownloadEndsInTheLibraryOnceAndWhole) {
    const int rounds = qEnvironmentVariableIsSet("TAVVEL_KILL_ROUNDS")
                           ? qEnvironmentVariableIntValue("TAVVEL_KILL_ROUNDS")
                           : 20;
    testsupport::ServiceStandIn standIn;
    ASSERT_TRUE(standIn.start());
    qputenv("TAVVEL_SERVICE_URL", standIn.baseUrl().toUtf8());  // the finish report goes here
    testsupport::FileServing files(standIn);
    const QString big = QDir(QStringLiteral(TAVVEL_TEST_VIDEOS_DIR)).filePath(QStringLiteral("big.mp4"));
    files.addFile(QStringLiteral("big.mp4"), big);
    files.setSpeedLimit(4 * 1024 * 1024);
    const qint64 size = QFileInfo(big).size();
    const QString sign = videoSign(big).value_or(QString());
    ASSERT_FALSE(sign.isEmpty());
    LocalVideoDBManager& database = LocalVideoDBManager::shared();
    const QString destination = QDir(downloadVideoDirectoryPath()).filePath(sign + QStringLiteral(".mp4"));

    int kills = 0, downloads = 0;
    bool underWay = false;  // a download was started and has not finished
    QRandomGenerator random(QRandomGenerator::global()->generate());
    while (kills < rounds || underWay) {
        underWay = true;
        QProcess child;
        testsupport::startChild(child, QStringLiteral(DOWNLOAD_KILL_CHILD),
                                {sign, files.url(QStringLiteral("big.mp4"))});
        ASSERT_TRUE(child.waitForStarted());
        // Anywhere from start-up through the transfer to the verification and the finish.
        // After the last kill the download runs to its end, so every fetched byte is accounted for.
        const int moment = kills < rounds ? int(random.bounded(10, 1200)) : 60000;
        if (!child.waitForFinished(moment)) {
            child.kill();
            child.waitForFinished();
            ++kills;
            continue;
        }
        ASSERT_EQ(child.exitCode(), 0) << (child.readAllStandardOutput() + child.readAllStandardError()).toStdString();
        ASSERT_TRUE(child.readAllStandardOutput().contains("finished"));
        // In the library once, whole, and nothing left behind.
        ++downloads;
        underWay = false;
        const auto rows = database.allVideos();
        ASSERT_EQ(std::count_if(rows.begin(), rows.end(), [&](const VideoDetail& v) { return v.sign == sign; }), 1)
            << "download " << downloads;
        ASSERT_EQ(QUrl(database.videoWithSign(sign)->url).toLocalFile(), destination);
        ASSERT_EQ(videoSign(destination).value_or(QString()), sign);
        ASSERT_EQ(QFileInfo(destination).size(), size);
        EXPECT_EQ(QDir(downloadVideoDirectoryPath()).entryList(QDir::Files),
                  QStringList{sign + QStringLiteral(".mp4")});
        QStringList leftovers = QDir(downloadCachesDirectoryPath()).entryList(QDir::Files);
        leftovers.removeAll(QStringLiteral("downloadInfo.bat"));
        EXPECT_TRUE(leftovers.isEmpty()) << leftovers.join(u' ').toStdString();
        // The next download of the same video starts from nothing.
        database.deleteVideoWithSign(sign);
        QFile::remove(destination);
    }
    const double fetched = double(files.bytesSent());
    const double needed = double(size) * downloads;
    std::printf("kill loop: %d kills, %d downloads finished, %.0f bytes fetched for %.0f bytes of files (ratio %.2f)\n",
                kills, downloads, fetched, needed, fetched / needed);
    EXPECT_GT(downloads, 0);
}
