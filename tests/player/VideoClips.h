#pragma once
// Test clips made on the spot from FFmpeg's test patterns (nothing is downloaded).
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <functional>

namespace playertest {
inline bool haveFfmpeg() {
    return !QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty();
}

// An H.264 clip of `size` ("640x240") and `seconds`, the moving colour pattern testsrc2; with a
// sine tone as its AAC sound track when `withSound`.
inline bool makeClip(const QString& path, const QString& size, double seconds, int fps = 30, bool withSound = false) {
    if (QFile::exists(path))
        return true;
    QStringList args = QStringLiteral("-hide_banner -nostdin -loglevel error -y -f lavfi -i").split(u' ');
    args << QStringLiteral("testsrc2=s=%1:r=%2:d=%3").arg(size).arg(fps).arg(seconds);
    if (withSound)
        args << QStringLiteral("-f lavfi -i sine=frequency=440:duration=%1 -c:a aac").arg(seconds).split(u' ');
    args << QStringLiteral("-c:v libx264 -preset ultrafast -pix_fmt yuv420p").split(u' ') << path;
    const int rc = QProcess::execute(QStringLiteral("ffmpeg"), args);
    return rc == 0 && QFile::exists(path);
}

// A clip of four flat quarters (red, green / blue, white) of `size`, stored with `rotation`
// degrees of rotation metadata, as a phone writes it, and beside it ("...png") its first frame as
// FFmpeg shows it: turned upright by that metadata.
inline bool makeQuartersClip(const QString& path, const QString& size, int rotation) {
    const QString plain = path + QStringLiteral(".plain.mp4"), shown = path + QStringLiteral(".png");
    const QString quarter = QStringLiteral("color=%2:s=%1:d=2:r=30");
    const QStringList parts = size.split(u'x');
    const QString q = QStringLiteral("%1x%2").arg(parts.value(0).toInt() / 2).arg(parts.value(1).toInt() / 2);
    const QString graph = QStringLiteral("%1[a];%2[b];%3[c];%4[d];[a][b]hstack[t];[c][d]hstack[u];[t][u]vstack")
                              .arg(quarter.arg(q, QStringLiteral("red")), quarter.arg(q, QStringLiteral("lime")),
                                   quarter.arg(q, QStringLiteral("blue")), quarter.arg(q, QStringLiteral("white")));
    const QString quiet = QStringLiteral("-hide_banner -nostdin -loglevel error -y");
    const auto ffmpeg = [&](const QString& args, const QStringList& more) {
        return QProcess::execute(QStringLiteral("ffmpeg"), args.split(u' ') + more) == 0;
    };
    return ffmpeg(quiet + QStringLiteral(" -f lavfi -i"),
                  {graph, QStringLiteral("-c:v"), QStringLiteral("libx264"), QStringLiteral("-preset"),
                   QStringLiteral("ultrafast"), QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p"), plain}) &&
           ffmpeg(quiet + QStringLiteral(" -i"),
                  {plain, QStringLiteral("-c"), QStringLiteral("copy"), QStringLiteral("-metadata:s:v:0"),
                   QStringLiteral("rotate=%1").arg(rotation), path}) &&
           ffmpeg(quiet + QStringLiteral(" -i"), {path, QStringLiteral("-frames:v"), QStringLiteral("1"), shown});
}

// How much longer a wait on the real player may take in this build: under AddressSanitizer our
// code and Qt's drawing run several times slower while mpv's clock does not.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr int kSlowdown = 4;
#else
inline constexpr int kSlowdown = 1;
#endif

inline bool waitFor(const std::function<bool()>& done, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

inline void spin(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}
}  // namespace playertest
