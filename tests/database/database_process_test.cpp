// The two programs share the file: an insert that meets the other process's write lock waits
// for it instead of failing.
#include "DatabaseTestSupport.h"
#include "shared/LocalVideoDBManager.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

TEST(LocalVideoDBProcess, InsertWaitsForAnotherProcesssWriteLock) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Tavvel.db"));
    LocalVideoDBManager db(path);

    QProcess holder;
    holder.start(QStringLiteral(SQLITE3_CLI), {QStringLiteral("-batch"), path});
    ASSERT_TRUE(holder.waitForStarted());
    holder.write(
        "BEGIN IMMEDIATE;\n"
        "INSERT INTO LocalVideos (vid, sign) VALUES (7, 'other');\n"
        ".print locked\n"
        ".shell sleep 0.5\n"
        "COMMIT;\n");
    holder.closeWriteChannel();
    QByteArray seen;
    while (!seen.contains("locked") && holder.waitForReadyRead(5000))
        seen += holder.readAllStandardOutput();
    ASSERT_TRUE(seen.contains("locked"));

    QElapsedTimer timer;
    timer.start();
    dbtest::StdoutCapture out;
    db.insertVideo(dbtest::video("mine"));
    const QStringList lines = out.lines();
    const qint64 waited = timer.elapsed();
    ASSERT_TRUE(holder.waitForFinished(5000));
    EXPECT_EQ(holder.exitCode(), 0) << holder.readAllStandardError().constData();

    EXPECT_EQ(lines, QStringList{"insert true"});
    EXPECT_GE(waited, 200);  // it really met the lock
    EXPECT_EQ(dbtest::rawCount(path), 2);
    EXPECT_TRUE(db.videoWithSign(QStringLiteral("other")));
}
