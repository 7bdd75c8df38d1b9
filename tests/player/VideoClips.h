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
