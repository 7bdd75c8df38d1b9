// Plays one clip as the wallpaper for a while and reports what it cost this process.
// Usage: player_bench CLIP SECONDS ARRANGEMENT(0 integration, 1 mirror) [paused]
// Prints: first_frame_ms, cpu_s (from the first frame on), rss_kb (peak), frames.
#include "PlayerFakes.h"
#include "player/DesktopWallpaperPlatform.h"
#include "player/VideoRenderer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>
#include <sys/resource.h>

namespace {
double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}
long peakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}
}

int main(int argc, char** argv) {
    QElapsedTimer sinceStart;
    sinceStart.start();
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    if (argc < 4) {
        std::fprintf(stderr, "usage: player_bench CLIP SECONDS ARRANGEMENT [paused]\n");
        return 2;
    }
    const int seconds = QByteArray(argv[2]).toInt();
    const bool paused = argc > 4 && QByteArray(argv[4]) == "paused";

    TestLibrary library;
    library.suite.setInteger(PreferencesKey::monitorArrange, QByteArray(argv[3]).toInt());
    library.addRow(QStringLiteral("clip"), TestLibrary::fileUrl(QString::fromLocal8Bit(argv[1])));
    Preferences prefs(library.suite);
    VideoPlayerManager manager(desktopWallpaperPlatform(), prefs, library.db);
    manager.setupWindows();

    VideoRenderer* renderer = manager.player().renderer();
    if (!renderer)
        return 3;
    double cpuAtFirstFrame = 0;
    quint64 framesAtFirstFrame = 0;
    bool seen = false;
    QObject::connect(renderer, &VideoFrameSource::frameChanged, &app, [&] {
        if (seen)
            return;
        seen = true;
        // The windows repaint from the queued update; count the frame as on screen after that.
        QTimer::singleShot(0, &app, [&] {
            std::printf("first_frame_ms %lld\n", static_cast<long long>(sinceStart.elapsed()));
            if (paused)
                prefs.setIsPlaying(false);
            cpuAtFirstFrame = cpuSeconds();
            framesAtFirstFrame = renderer->renderedFrames();
            QTimer::singleShot(seconds * 1000, &app, &QApplication::quit);
        });
    });
    QTimer::singleShot((seconds + 30) * 1000, &app, &QApplication::quit);
    app.exec();
    if (!seen)
        return 4;
    std::printf("cpu_s %.3f\nrss_kb %ld\nframes %llu\n", cpuSeconds() - cpuAtFirstFrame, peakRssKb(),
                static_cast<unsigned long long>(renderer->renderedFrames() - framesAtFirstFrame));
    return 0;
}
