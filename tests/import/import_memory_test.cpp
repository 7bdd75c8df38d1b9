// A huge video is imported in a program of its own, whose peak resident memory during the import
// is measured against its memory at rest after a small import.
#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

#include "ImportFixture.h"

TEST(ImportMemory, AnEightKSquareVideoIsImportedWithinTheMemoryOfDecodingOneFrame) {
    QTemporaryDir data;
    const QString huge = data.filePath(QStringLiteral("huge.mp4"));
    // One frame is all the import decodes; x264 encodes past its level limits all the same.
    ASSERT_EQ(
        QProcess::execute(QStringLiteral("ffmpeg"),
                          QProcess::splitCommand(QStringLiteral("-hide_banner -nostdin -loglevel error -y -f lavfi -i "
                                                                "testsrc2=s=8192x8192:r=1:d=1 -frames:v 1 -c:v libx264 "
                                                                "-preset ultrafast -pix_fmt yuv420p \"%1\"")
                                                     .arg(huge))),
        0);

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), data.path());
    env.insert(QStringLiteral("TAVVEL_TEST_SHARED_XDG"), QStringLiteral("1"));
#if defined(__SANITIZE_ADDRESS__)
    // Freed blocks are held back for a while to catch late uses; they are no part of the peak.
    env.insert(QStringLiteral("ASAN_OPTIONS"),
               env.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":quarantine_size_mb=0"));
#endif
    child.setProcessEnvironment(env);
    child.start(QStringLiteral(IMPORT_RACE_CHILD),
                {QStringLiteral("--memory"), importtest::testVideo(QStringLiteral("clip_320x180.mp4")), huge});
    ASSERT_TRUE(child.waitForStarted(10000));
    ASSERT_TRUE(child.write("go\n") == 3 && child.waitForBytesWritten(5000));
    ASSERT_TRUE(child.waitForFinished(120000) && child.exitCode() == 0) << child.readAllStandardError().toStdString();

    // Its figures among the import's own log lines: one line per file.
    QList<QList<QByteArray>> figures;
    for (const QByteArray& line : child.readAllStandardOutput().split('\n'))
        if (line.startsWith("complete ") || line.startsWith("failed "))
            figures.append(line.split(' '));
    ASSERT_EQ(figures.size(), 2);
    const QList<QByteArray>& small = figures[0];
    const QList<QByteArray>& large = figures[1];
    ASSERT_EQ(small.size(), 3);
    ASSERT_EQ(large.size(), 3);
    EXPECT_EQ(small[0], "complete");
    EXPECT_EQ(large[0], "complete");
    const long rest = large[1].toLong();
    const long peak = large[2].toLong();
    std::printf("at rest %ld kB; peak of the small import %ld kB, of the 8192x8192 one %ld kB\n", rest,
                small[2].toLong(), peak);
    ASSERT_GT(rest, 0);
    // FFmpeg's H.264 decoder takes 170 MB for one 8192x8192 picture (the picture 100, its
    // tables 70); the rest of the import adds little. An RGBA copy at full size would be 256 more.
    EXPECT_LT(peak - rest, 200 * 1024);
}
