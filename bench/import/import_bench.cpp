// Import figures, each against a baseline measured in the same run:
//  - sign of a 2 GB file vs `head -c 10485760 FILE | md5sum`;
//  - importing 20 clips one at a time (as the library screen does) vs `cp` plus one
//    `ffmpeg -ss MID -i FILE -frames:v 1 THUMB.png` per clip;
//  - peak resident memory during the imports vs the process before them;
//  - peak resident memory of one import of a 4K and an 8192x8192 clip vs that of a 320x180 clip,
//    each with the memory at rest before it.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

#include "service/LocalLibraryModel.h"
#include "service/VideoSign.h"

namespace {
constexpr int kClips = 20;
constexpr int kSignRounds = 9;

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

long peakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

bool run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool ffmpeg(const QStringList& arguments) {
    return run(QStringLiteral("ffmpeg"),
               QStringList{"-hide_banner", "-nostdin", "-loglevel", "error", "-y"} + arguments);
}

void line(const char* name, double value, const char* unit, double baseline) {
    std::printf("%s: %.2f %s (%.2fx baseline)\n", name, value, unit, baseline > 0 ? value / baseline : 0.0);
    std::fflush(stdout);
}

// Keeps the import's own log lines (database path, "insert true") off the figures.
class QuietStdout {
public:
    QuietStdout() {
        std::fflush(stdout);
        saved_ = ::dup(STDOUT_FILENO);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDOUT_FILENO);
        ::close(null);
    }
    ~QuietStdout() {
        std::fflush(stdout);
        ::dup2(saved_, STDOUT_FILENO);
        ::close(saved_);
    }

private:
    int saved_ = -1;
};

// A field of /proc/self/status in kB: "VmRSS:" (now), "VmHWM:" (peak).
long statusKb(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(static_cast<qsizetype>(qstrlen(field))).trimmed().split(' ').first().toLong();
    return 0;
}

long currentRssKb() {
    return statusKb("VmRSS:");
}

// Starts a new peak at the present resident size.
void resetPeakRss() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

bool importOne(const QString& file) {
    QuietStdout quiet;
    bool done = false;
    bool complete = false;
    LocalLibraryModel::shared().importVideo(QUrl::fromLocalFile(file), false,
                                            [&](const QString&, ImportVideoStatus status) {
                                                done = true;
                                                complete = status == ImportVideoStatus::complete;
                                            });
    while (!done)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return complete;
}

}  // namespace

int main(int argc, char** argv) {
    QTemporaryDir root;
    for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"}) {
        const QString dir = root.filePath(QString::fromLatin1(name));
        QDir().mkpath(dir);
        qputenv(name, dir.toLocal8Bit());
    }
    QCoreApplication app(argc, argv);

    // 20 different 1280x720 clips with sound, 3 s each.
    const QString clips = root.filePath(QStringLiteral("clips"));
    QDir().mkpath(clips);
    QStringList files;
    for (int i = 0; i < kClips; ++i) {
        const QString file = QDir(clips).filePath(QStringLiteral("clip%1.mp4").arg(i));
        if (!ffmpeg({"-f", "lavfi", "-i", QStringLiteral("testsrc2=s=1280x720:r=25:d=3,hue=h=%1").arg(i * 17), "-f",
                     "lavfi", "-i", "sine=frequency=440:duration=3", "-c:v", "libx264", "-preset", "ultrafast",
                     "-pix_fmt", "yuv420p", "-c:a", "aac", "-shortest", file})) {
            std::fprintf(stderr, "could not make the clips with ffmpeg\n");
            return 1;
        }
        files << file;
    }

    // Baseline: copy plus one ffmpeg thumbnail per clip.
    const QString plainDir = root.filePath(QStringLiteral("plain"));
    QDir().mkpath(plainDir);
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < kClips; ++i) {
        run(QStringLiteral("cp"), {files[i], plainDir});
        ffmpeg(
            {"-ss", "1", "-i", files[i], "-frames:v", "1", QDir(plainDir).filePath(QStringLiteral("t%1.png").arg(i))});
    }
    const double plainMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;

    const long rssBefore = currentRssKb();
    int completed = 0;
    timer.restart();
    for (const QString& file : files)
        completed += importOne(file) ? 1 : 0;
    const double importMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    const long rssPeak = peakRssKb();
    if (completed != kClips)
        std::fprintf(stderr, "only %d of %d imports completed\n", completed, kClips);
    line("import_20_clips", importMs, "ms", plainMs);
    line("import_peak_rss", rssPeak / 1024.0, "MiB", rssBefore / 1024.0);

    // One frame each: the import decodes one. The small clip's peak is the baseline.
    double smallPeakMiB = 0;
    for (const char* size : {"320x180", "3840x2160", "8192x8192"}) {
        const QString file = QDir(clips).filePath(QStringLiteral("size%1.mp4").arg(QLatin1String(size)));
        if (!ffmpeg({"-f", "lavfi", "-i", QStringLiteral("testsrc2=s=%1:r=1:d=1").arg(QLatin1String(size)), "-frames:v",
                     "1", "-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p", file})) {
            std::fprintf(stderr, "could not make the %s clip with ffmpeg\n", size);
            continue;
        }
        const long rest = currentRssKb();
        resetPeakRss();
        if (!importOne(file))
            std::fprintf(stderr, "the import of the %s clip did not complete\n", size);
        const double peakMiB = static_cast<double>(statusKb("VmHWM:")) / 1024.0;
        if (smallPeakMiB == 0)
            smallPeakMiB = peakMiB;
        std::printf("import of %s: at rest %.1f MiB, peak %.1f MiB above rest\n", size, rest / 1024.0,
                    peakMiB - rest / 1024.0);
        line(qPrintable(QStringLiteral("import_peak_rss_%1").arg(QLatin1String(size))), peakMiB, "MiB", smallPeakMiB);
    }

    // A 2 GB file: 10 MiB of data, the rest a hole.
    const QString big = root.filePath(QStringLiteral("big.bin"));
    {
        QFile file(big);
        file.open(QIODevice::WriteOnly);
        QByteArray chunk(1 << 20, '\0');
        for (int i = 0; i < 12; ++i) {
            for (int j = 0; j < chunk.size(); ++j)
                chunk[j] = char((i * 131 + j * 7) & 0xff);
            file.write(chunk);
        }
        file.resize(2LL * 1024 * 1024 * 1024);
    }
    std::vector<double> ours;
    std::vector<double> shell;
    for (int round = 0; round < kSignRounds; ++round) {
        timer.restart();
        const auto sign = videoSign(big);
        ours.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        if (!sign)
            std::fprintf(stderr, "no sign for the big file\n");
        timer.restart();
        run(QStringLiteral("bash"), {"-c", QStringLiteral("head -c 10485760 '%1' | md5sum > /dev/null").arg(big)});
        shell.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    line("sign_2gb_file", median(ours), "ms", median(shell));
    return 0;
}
