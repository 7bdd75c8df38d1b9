// Plays one clip as the wallpaper for a while and reports what it cost this process.
// Usage: player_bench CLIP SECONDS ARRANGEMENT(0 integration, 1 mirror) [paused|closed] [split]
// "split" takes the left and right halves of the first screen for two screens side by side (one
// wide Xvfb screen stands for two monitors).
// Prints: first_frame_ms, cpu_s (from the first frame on), cpu_total_s (the whole process),
// x_cpu_s (the whole life of an Xvfb started beside it by xvfb-run, where there is one), rss_kb
// (peak), frames, renderer (its name).
#include "PlayerFakes.h"
#include "SplitScreens.h"
#include "player/DesktopWallpaperPlatform.h"
#include "player/VideoRenderer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QDir>
#include <QFile>
#include <QTimer>
#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

namespace {
double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}
// CPU seconds of the Xvfb that shares our parent (xvfb-run starts both), or -1 if there is none.
double siblingXServerCpu() {
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList({QStringLiteral("[0-9]*")}, QDir::Dirs);
    for (const QString& pid : pids) {
        QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray stat = file.readAll();
        // "pid (comm) state ppid ... utime stime ...": comm may hold spaces, so split after it.
        const qsizetype open = stat.indexOf('('), close = stat.lastIndexOf(')');
        if (open < 0 || close < open || stat.mid(open + 1, close - open - 1) != "Xvfb")
            continue;
        const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
        if (fields.size() < 13 || fields.at(1).toLongLong() != getppid())
            continue;
        return double(fields.at(11).toLongLong() + fields.at(12).toLongLong()) / double(sysconf(_SC_CLK_TCK));
    }
    return -1;
}
long peakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}
}  // namespace

int main(int argc, char** argv) {
    QElapsedTimer sinceStart;
    sinceStart.start();
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    if (argc < 4) {
        std::fprintf(stderr, "usage: player_bench CLIP SECONDS ARRANGEMENT [paused]\n");
        return 2;
    }
    const int seconds = QByteArray(argv[2]).toInt();
    bool paused = false, closed = false, split = false;
    for (int i = 4; i < argc; ++i) {
        paused = paused || QByteArray(argv[i]) == "paused";
        closed = closed || QByteArray(argv[i]) == "closed";
        split = split || QByteArray(argv[i]) == "split";
    }

    TestLibrary library;
    library.suite.setInteger(PreferencesKey::monitorArrange, QByteArray(argv[3]).toInt());
    library.addRow(QStringLiteral("clip"), TestLibrary::fileUrl(QString::fromLocal8Bit(argv[1])));
    Preferences prefs(library.suite);
    SplitScreenPlatform halves(desktopWallpaperPlatform());
    VideoPlayerManager manager(split ? static_cast<WallpaperPlatform&>(halves) : desktopWallpaperPlatform(), prefs,
                               library.db);
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
            if (closed)
                prefs.setIsOpenPlayer(false);
            cpuAtFirstFrame = cpuSeconds();
            framesAtFirstFrame = renderer->renderedFrames();
            QTimer::singleShot(seconds * 1000, &app, &QApplication::quit);
        });
    });
    QTimer::singleShot((seconds + 30) * 1000, &app, &QApplication::quit);
    app.exec();
    if (!seen)
        return 4;
    const double cpuTotal = cpuSeconds();
    std::printf("cpu_s %.3f\ncpu_total_s %.3f\nrss_kb %ld\nframes %llu\n", cpuTotal - cpuAtFirstFrame, cpuTotal,
                peakRssKb(), static_cast<unsigned long long>(renderer->renderedFrames() - framesAtFirstFrame));
    std::printf("renderer %s\n", renderer->name().toUtf8().constData());
    if (const double x = siblingXServerCpu(); x >= 0)
        std::printf("x_cpu_s %.3f\n", x);
    return 0;
}
