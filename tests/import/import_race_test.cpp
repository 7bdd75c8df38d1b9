// Two programs on the same folders import the same files at the same moment, round after round
// on a fresh library each time: every row ends naming a file that is there, and the folder holds
// no file that no row names. Rounds: TAVVEL_RACE_ROUNDS (50 unless set).
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QUrl>
#include <array>
#include <memory>

#include "ImportFixture.h"
#include "shared/LocalVideoDBManager.h"
#include "support/ProcessHelpers.h"

TEST(ImportRace, TwoProgramsImportingTheSameSamplesKeepEveryRowsFile) {
    const int rounds = qEnvironmentVariableIsSet("TAVVEL_RACE_ROUNDS")
                           ? qEnvironmentVariableIntValue("TAVVEL_RACE_ROUNDS")
                           : 50;
    const QStringList samples = {importtest::testVideo(QStringLiteral("clip_320x180.mp4")),
                                 importtest::testVideo(QStringLiteral("clip_12_7s.mp4")),
                                 importtest::testVideo(QStringLiteral("clip_1366x768.mov"))};
    int missing = 0, strays = 0, rows = 0;
    for (int round = 0; round < rounds; ++round) {
        SCOPED_TRACE(round);
        QTemporaryDir data;
        ASSERT_TRUE(data.isValid());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), data.path());
        env.insert(QStringLiteral("TAVVEL_TEST_SHARED_XDG"), QStringLiteral("1"));
        std::array<std::unique_ptr<QProcess>, 2> children;
        for (auto& child : children) {
            child = std::make_unique<QProcess>();
            child->setProcessEnvironment(env);
            child->start(QStringLiteral(IMPORT_RACE_CHILD), samples);
        }
        // Both wait at the start line, with their databases open; then both go at once.
        for (auto& child : children) {
            QByteArray line;
            while (line != "ready\n") {
                while (!child->canReadLine())
                    ASSERT_TRUE(child->waitForReadyRead(10000)) << child->readAllStandardError().toStdString();
                line = child->readLine();
            }
        }
        for (auto& child : children) {
            child->write("go\n");
            ASSERT_TRUE(child->waitForBytesWritten(5000));
        }
        for (auto& child : children) {
            ASSERT_TRUE(child->waitForFinished(30000));
            ASSERT_EQ(child->exitCode(), 0) << child->readAllStandardError().toStdString();
        }

        const QString support = QDir(data.path()).filePath(QStringLiteral("Q7ZK3M8WRT.tavvel/Application Support"));
        LocalVideoDBManager database(QDir(support).filePath(QStringLiteral("Tavvel.db")));
        QSet<QString> named;
        for (const VideoDetail& video : database.allVideos()) {
            const QString file = QUrl(video.url).toLocalFile();
            named.insert(QFileInfo(file).fileName());
            missing += QFileInfo(file).isFile() ? 0 : 1;
            ++rows;
        }
        EXPECT_EQ(named.size(), samples.size());
        for (const QString& name : QDir(QDir(support).filePath(QStringLiteral("DownloadVideo")))
                                       .entryList(QDir::Files | QDir::Hidden | QDir::System))
            strays += named.contains(name) ? 0 : 1;
    }
    std::printf("%d rounds: %d rows, %d naming a missing file, %d files no row names\n", rounds, rows, missing, strays);
    EXPECT_EQ(rows, rounds * samples.size());
    EXPECT_EQ(missing, 0);
    EXPECT_EQ(strays, 0);
}
