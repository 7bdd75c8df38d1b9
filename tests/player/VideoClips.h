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

// An H.264 clip of `size` ("640x240") and `seconds`, the moving colour pattern testsrc2.
inline bool makeClip(const QString& path, const QString& size, double seconds, int fps = 30) {
    if (QFile::exists(path))
        return true;
    const int rc = QProcess::execute(
        QStringLiteral("ffmpeg"),
        {QStringLiteral("-hide_banner"), QStringLiteral("-nostdin"), QStringLiteral("-loglevel"), QStringLiteral("error"),
         QStringLiteral("-y"), QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
         QStringLiteral("testsrc2=s=%1:r=%2:d=%3").arg(size).arg(fps).arg(seconds), QStringLiteral("-c:v"),
         QStringLiteral("libx264"), QStringLiteral("-preset"), QStringLiteral("ultrafast"), QStringLiteral("-pix_fmt"),
         QStringLiteral("yuv420p"), path});
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
}
