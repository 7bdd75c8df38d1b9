// The desktop player started as a user would, on a virtual X display, with a video in the
// library: the screen shows the video, and the update check reaches the service stand-in.
#include "MainLibrary.h"
#include "VideoClips.h"
#include "support/ServiceStandIn.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>

TEST(OnXDisplay, PlayerShowsTheLibraryVideo) {
    for (const char* tool : {"Xvfb", "import"})
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            GTEST_SKIP() << tool << " is not installed";
    if (!playertest::haveFfmpeg())
        GTEST_SKIP() << "ffmpeg is not installed";

    QTemporaryDir dir;
    const QString clip = dir.filePath(QStringLiteral("clip.mp4"));
    ASSERT_TRUE(playertest::makeClip(clip, QStringLiteral("640x360"), 20, 25));
    const QString sign = QStringLiteral("0123456789abcdef0123456789abcdef");
    ASSERT_EQ(apptest::addToMainLibrary(clip, sign, QStringLiteral("pattern")), 1u);

    testsupport::ServiceStandIn standIn;
    ASSERT_TRUE(standIn.start());
    standIn.setReply(24, testsupport::ScriptedReply::encrypted(R"({"data":""})"));

    const QString shot = dir.filePath(QStringLiteral("screen.png"));
    QProcess run;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("TAVVEL_SERVICE_URL"), standIn.baseUrl());
    env.insert(QStringLiteral("HELPER"), QStringLiteral(TAVVEL_HELPER_PROGRAM));
    env.insert(QStringLiteral("SHOT"), shot);
    env.insert(QStringLiteral("LSAN_OPTIONS"), QStringLiteral("suppressions=" LSAN_SUPPRESSIONS));
    // The player opens GL on X to choose its renderer: the slow unwinder lets a sanitizer build
    // name the GL library of what Mesa's unloaded driver keeps (see the suppressions file).
    env.insert(QStringLiteral("ASAN_OPTIONS"),
               env.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":fast_unwind_on_malloc=0"));
    run.setProcessEnvironment(env);
    run.setProcessChannelMode(QProcess::MergedChannels);
    // The screen is taken once a second until it shows more than a few colours (the video is up),
    // for at most 40 seconds: a loaded machine or a sanitizer build starts the player slowly.
    run.start(QStringLiteral("bash"),
              {XVFB_RUN, "-s", "-screen 0 800x600x24", "sh", "-c",
               R"sh("$HELPER" & pid=$!; for i in $(seq 40); do sleep 1; import -window root "$SHOT"; )sh"
               R"sh([ "$(identify -format %k "$SHOT")" -gt 64 ] && break; done; )sh"
               R"sh(kill -TERM $pid; wait $pid; echo "helper exit $?")sh"});
    ASSERT_TRUE(run.waitForFinished(120000));
    const QByteArray output = run.readAll();
    ASSERT_EQ(run.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains("helper exit 0")) << output.toStdString();

    // TAVVEL_SCREENSHOT_DIR keeps the picture for a look by eye.
    if (const QString keep = qEnvironmentVariable("TAVVEL_SCREENSHOT_DIR"); !keep.isEmpty())
        QFile::copy(shot, keep + QStringLiteral("/player_on_x.png"));
    QImage image(shot);
    ASSERT_FALSE(image.isNull()) << output.toStdString();
    // The test pattern is colourful all over: many colours, little black.
    QSet<QRgb> colours;
    int dark = 0, samples = 0;
    for (int y = 10; y < image.height(); y += 20) {
        for (int x = 10; x < image.width(); x += 20) {
            const QRgb p = image.pixel(x, y);
            colours.insert(p & 0xF0F0F0);
            if (qRed(p) + qGreen(p) + qBlue(p) < 40)
                ++dark;
            ++samples;
        }
    }
    EXPECT_GT(colours.size(), 8) << output.toStdString();
    EXPECT_LT(dark, samples / 2) << output.toStdString();

    bool checked = false;
    for (const auto& r : standIn.requests())
        checked = checked || r.code == 24;
    EXPECT_TRUE(checked);
}
