// On a real X server (Xvfb, one screen): the wallpaper window has the desktop window type and
// covers the screen, and the root window shows the video.
#include "VideoClips.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>

TEST(X11Wallpaper, DesktopWindowTypeScreenGeometryAndVideoOnTheRootWindow) {
    for (const char* tool : {"Xvfb", "xprop", "xwininfo", "import", "ffmpeg"})
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            GTEST_SKIP() << tool << " is missing";
    QTemporaryDir dir;
    const QString clip = dir.filePath(QStringLiteral("clip.mp4"));
    ASSERT_TRUE(playertest::makeClip(clip, QStringLiteral("640x360"), 10));

    QProcess run;
    run.setProcessChannelMode(QProcess::MergedChannels);
    run.start(QStringLiteral("bash"),
              {QStringLiteral(XVFB_RUN), QStringLiteral("-s"), QStringLiteral("-screen 0 800x600x24"),
               QStringLiteral(X11_CHECK_SCRIPT), QStringLiteral(X11_CHILD), clip, dir.path()});
    ASSERT_TRUE(run.waitForFinished(90000));
    const auto read = [&](const char* name) {
        QFile f(dir.filePath(QString::fromLatin1(name)));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    };
    const QString xprop = read("xprop.txt");
    ASSERT_FALSE(xprop.isEmpty()) << run.readAll().toStdString() << read("child.err").toStdString();
    EXPECT_TRUE(xprop.contains(QStringLiteral("_NET_WM_WINDOW_TYPE(ATOM) = _NET_WM_WINDOW_TYPE_DESKTOP")))
        << xprop.toStdString();
    EXPECT_TRUE(xprop.contains(QStringLiteral("_NET_WM_STATE_STICKY"))) << xprop.toStdString();

    const QString info = read("xwininfo.txt");
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Absolute upper-left X:\\s+0\\n"))))
        << info.toStdString();
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Absolute upper-left Y:\\s+0\\n"))))
        << info.toStdString();
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Width:\\s+800\\n")))) << info.toStdString();
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Height:\\s+600\\n")))) << info.toStdString();

    const QImage root(dir.filePath(QStringLiteral("root.png")));
    ASSERT_FALSE(root.isNull());
    EXPECT_EQ(root.size(), QSize(800, 600));
    qint64 lit = 0;
    for (int y = 0; y < root.height(); y += 4)
        for (int x = 0; x < root.width(); x += 4) {
            const QRgb p = root.pixel(x, y);
            if (qRed(p) + qGreen(p) + qBlue(p) > 60)
                ++lit;
        }
    EXPECT_GT(double(lit) / ((root.width() / 4) * (root.height() / 4)), 0.5);
}

TEST(X11Wallpaper, WithoutAWindowManagerItStaysBelowWindowsAndItsIconDocksInALaterTray) {
    if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty())
        GTEST_SKIP() << "Xvfb is missing";
    QProcess run;
    run.setProcessChannelMode(QProcess::MergedChannels);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    run.setProcessEnvironment(env);
    run.start(QStringLiteral("bash"), {QStringLiteral(XVFB_RUN), QStringLiteral("-s"),
                                       QStringLiteral("-screen 0 800x600x24"), QStringLiteral(X11_LAYER_CHILD)});
    run.waitForFinished(90000);
    const QString out = QString::fromUtf8(run.readAll());
    const auto match = QRegularExpression(QStringLiteral("order icons=(-?\\d+) wallpaper=(-?\\d+) panel=(-?\\d+)"))
                           .match(out);
    ASSERT_TRUE(match.hasMatch()) << out.toStdString();
    // With the desktop icons hidden: above the icons, below the panel.
    EXPECT_LT(match.captured(1).toInt(), match.captured(2).toInt()) << out.toStdString();
    EXPECT_LT(match.captured(2).toInt(), match.captured(3).toInt()) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("\ndocked"))) << out.toStdString();
}

// Qt keeps a screen's top-left corner in native pixels and scales only its size: the second of
// two screens starts at its native corner whatever the scale, or no desktop is found there.
TEST(X11Wallpaper, ScreensInNativePixelsAtEveryScale) {
    for (const char* factors : {"left=1;right=1", "left=2;right=2", "left=1;right=2", "left=1.5;right=2"}) {
        QProcess run;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen:configfile=" TWO_SCREENS_JSON));
        env.insert(QStringLiteral("QT_SCREEN_SCALE_FACTORS"), QString::fromLatin1(factors));
        run.setProcessEnvironment(env);
        run.start(QStringLiteral(X11_CHILD), {QStringLiteral("--native")});
        ASSERT_TRUE(run.waitForFinished(30000)) << factors;
        EXPECT_EQ(QString::fromUtf8(run.readAllStandardOutput()), QStringLiteral("0 0 320 240\n320 0 320 240\n"))
            << factors;
    }
}
