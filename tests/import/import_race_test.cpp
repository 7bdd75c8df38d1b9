// Two programs on the same folders import the same files at the same moment, round after round
// on a fresh library: each video ends in one row naming a file that is there, and the folder
// holds no file that no row names. Rounds: TAVVEL_RACE_ROUNDS (50 unless set).
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QUrl>

#include "ImportFixture.h"
#include "shared/LocalVideoDBManager.h"

TEST(ImportRace, TwoProgramsImportingTheSameSamplesKeepEveryRowsFile) {
    const int rounds = qEnvironmentVariableIntValue("TAVVEL_RACE_ROUNDS") > 0
                           ? qEnvironmentVariableIntValue("TAVVEL_RACE_ROUNDS")
                           : 50;
    QStringList samples;
    for (const char* clip : {"clip_320x180.mp4", "clip_12_7s.mp4", "clip_1366x768.mov"})
        samples << importtest::testVideo(QString::fromLatin1(clip));
    int rows = 0, missing = 0, strays = 0;
    for (int round = 0; round < rounds; ++round) {
        SCOPED_TRACE(round);
        QTemporaryDir data;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), data.path());
        env.insert(QStringLiteral("TAVVEL_TEST_SHARED_XDG"), QStringLiteral("1"));
        QProcess children[2];
        for (QProcess& child : children) {
            child.setProcessEnvironment(env);
            child.start(QStringLiteral(IMPORT_RACE_CHILD), samples);
        }
        // Both wait with their databases open, then go at once.
        for (QProcess& child : children) {
            while (!child.readAllStandardOutput().contains("ready"))
                ASSERT_TRUE(child.waitForReadyRead(10000));
        }
        for (QProcess& child : children)
            ASSERT_TRUE(child.write("go\n") == 3 && child.waitForBytesWritten(5000));
        for (QProcess& child : children)
            ASSERT_TRUE(child.waitForFinished(30000) && child.exitCode() == 0);

        const QDir support(data.filePath(QStringLiteral("Q7ZK3M8WRT.tavvel/Application Support")));
        QSet<QString> named;
        for (const VideoDetail& video :
             LocalVideoDBManager(support.filePath(QStringLiteral("Tavvel.db"))).allVideos()) {
            const QFileInfo file(QUrl(video.url).toLocalFile());
            named.insert(file.fileName());
            missing += file.isFile() ? 0 : 1;
            ++rows;
        }
        for (const QString& name :
             QDir(support.filePath(QStringLiteral("DownloadVideo"))).entryList(QDir::Files | QDir::Hidden))
            strays += named.contains(name) ? 0 : 1;
    }
    std::printf("%d rounds: %d rows, %d naming a missing file, %d files no row names\n", rounds, rows, missing, strays);
    EXPECT_EQ(rows, rounds * samples.size());
    EXPECT_EQ(missing, 0);
    EXPECT_EQ(strays, 0);
}
