#pragma once
// Test clips made on the spot from FFmpeg's test patterns (nothing is downloaded).
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSize>
#include <QStandardPaths>
#include <QString>
#include <functional>

namespace playertest {
inline bool haveFfmpeg() {
    return !QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty();
}

// Runs ffmpeg quietly with `args` (split as a shell would); true when it succeeded.
inline bool runFfmpeg(const QString& args) {
    return QProcess::execute(
               QStringLiteral("ffmpeg"),
               QProcess::splitCommand(QStringLiteral("-hide_banner -nostdin -loglevel error -y ") + args)) == 0;
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

// A clip of four flat quarters (red, green / blue, white) of `size`, stored with
// `rotation` degrees of rotation metadata as a phone writes it, and beside it ("...png") its
// first frame as FFmpeg shows it: turned upright by that metadata.
inline bool makeQuartersClip(const QString& path, const QSize& size, int rotation) {
    const QString half = QStringLiteral("%1x%2").arg(size.width() / 2).arg(size.height() / 2);
    QString graph;
    for (const char* colour : {"red", "lime", "blue", "white"})
        graph += QStringLiteral("color=%1:s=%2:d=2:r=30[%1];").arg(QLatin1String(colour), half);
    graph += QStringLiteral("[red][lime]hstack[top];[blue][white]hstack[bottom];[top][bottom]vstack");
    // The metadata goes on with a copy: FFmpeg 5.1 drops it when it encodes.
    return runFfmpeg(
               QStringLiteral("-f lavfi -i \"%1\" -c:v libx264 -preset ultrafast -pix_fmt yuv420p \"%2.plain.mp4\"")
                   .arg(graph, path)) &&
           runFfmpeg(QStringLiteral("-i \"%1.plain.mp4\" -c copy -metadata:s:v:0 rotate=%2 \"%1\"")
                         .arg(path)
                         .arg(rotation)) &&
           runFfmpeg(QStringLiteral("-i \"%1\" -frames:v 1 \"%1.png\"").arg(path));
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
