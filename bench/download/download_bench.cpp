// Downloads a 200 MB file from the service stand-in through DownloadManager (in a child
// process, from the add to the library's "UpdateVideoList") and with curl writing the same
// address to a file. Prints throughput and peak memory with their ratio to curl.
#include "service/DownloadManager.h"
#include "service/WebModel.h"
#include "shared/LocalVideoDBManager.h"
#include "service/VideoSign.h"
#include "support/FileServing.h"
#include "support/ServiceStandIn.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
constexpr qint64 kSize = 200LL * 1024 * 1024;

// Deterministic bytes that do not compress to nothing.
bool makeFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray block(1024 * 1024, Qt::Uninitialized);
    quint32 x = 2463534242u;
    for (qint64 written = 0; written < kSize; written += block.size()) {
        for (qsizetype i = 0; i < block.size(); i += 4) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            memcpy(block.data() + i, &x, 4);
        }
        if (file.write(block) != block.size())
            return false;
    }
    return true;
}

// Runs a program under /usr/bin/time; gives its standard output and its peak resident KiB.
struct Run {
    QByteArray output;
    qint64 peakKiB = -1;
    bool ok = false;
};

Run timed(const QStringList& command, const QProcessEnvironment& env) {
    QProcess process;
    process.setProcessEnvironment(env);
    QStringList arguments{QStringLiteral("-f"), QStringLiteral("peak %M")};
    arguments += command;
    process.start(QStringLiteral("/usr/bin/time"), arguments);
    process.waitForFinished(600000);
    Run run;
    run.output = process.readAllStandardOutput();
    const QList<QByteArray> lines = process.readAllStandardError().split('\n');
    for (const QByteArray& line : lines)
        if (line.startsWith("peak "))
            run.peakKiB = line.mid(5).trimmed().toLongLong();
    run.ok = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    return run;
}

int child(const QString& url, const QString& sign) {
    WebModel web(WebModel::configuredBaseUrl(), /*startTimers=*/false);
    DownloadManager manager(web, LocalVideoDBManager::shared());
    VideoDetail video;
    video.id = 1;
    video.sign = sign;
    video.title = QStringLiteral("bench");
    video.url = url;
    QElapsedTimer clock;
    clock.start();
    manager.addDownload(video);
    int result = 1;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (manager.progressArray().empty()) {
            result = 0;
            QCoreApplication::quit();
        } else if (manager.progressArray().front()->status == ItemStatus::error) {
            QCoreApplication::quit();
        }
    });
    poll.start(5);
    QCoreApplication::exec();
    std::printf("%lld\n", static_cast<long long>(clock.elapsed()));
    return result;
}
}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args[1] == QLatin1String("--child"))
        return child(args[2], args[3]);

    QTemporaryDir root;
    const QString source = root.filePath(QStringLiteral("source.bin"));
    if (!makeFile(source)) {
        std::fprintf(stderr, "cannot write the source file\n");
        return 1;
    }
    const QString sign = videoSign(source).value_or(QString());

    testsupport::ServiceStandIn standIn;
    if (!standIn.start())
        return 1;
    testsupport::FileServing files(standIn);
    files.addFile(QStringLiteral("video.mp4"), source);
    const QString url = files.url(QStringLiteral("video.mp4"));

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"}) {
        const QString dir = root.filePath(QString::fromLatin1(name).toLower());
        QDir().mkpath(dir);
        env.insert(QString::fromLatin1(name), dir);
    }
    env.insert(QStringLiteral("TAVVEL_SERVICE_URL"), standIn.baseUrl());

    // Warm the page cache for both.
    timed({QStringLiteral("curl"), QStringLiteral("-s"), QStringLiteral("-o"), QStringLiteral("/dev/null"), url}, env);

    // Three runs each, alternating; the medians count (the machines here are noisy).
    const QString curlTarget = root.filePath(QStringLiteral("curl.bin"));
    std::vector<double> curlSeconds;
    std::vector<double> oursSeconds;
    qint64 curlPeak = 0;
    qint64 oursPeak = 0;
    for (int round = 0; round < 3; ++round) {
        const Run curl = timed({QStringLiteral("curl"), QStringLiteral("-s"), QStringLiteral("-w"),
                                QStringLiteral("%{time_total}"), QStringLiteral("-o"), curlTarget, url},
                               env);
        QFile::remove(curlTarget);
        const Run ours = timed({QCoreApplication::applicationFilePath(), QStringLiteral("--child"), url, sign}, env);
        if (!curl.ok || !ours.ok) {
            std::fprintf(stderr, "a download failed (curl %d, ours %d)\n", curl.ok, ours.ok);
            return 1;
        }
        curlSeconds.push_back(curl.output.trimmed().toDouble());
        // The child's last line is its time; the system's own log lines come before it.
        oursSeconds.push_back(ours.output.trimmed().split('\n').last().toDouble() / 1000.0);
        curlPeak = std::max(curlPeak, curl.peakKiB);
        oursPeak = std::max(oursPeak, ours.peakKiB);
    }
    // The same program failing at once: what it holds without any transfer.
    const Run idle = timed({QCoreApplication::applicationFilePath(), QStringLiteral("--child"),
                            QStringLiteral("http://127.0.0.1:1/none.mp4"), sign},
                           env);
    const auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    const double mb = double(kSize) / (1024.0 * 1024.0);
    const double curlRate = mb / median(curlSeconds);
    const double oursRate = mb / median(oursSeconds);
    std::printf(
        "download 200 MB throughput (add to library, incl. sign and insert): %.1f MB/s (%.2f x curl %.1f MB/s)\n",
        oursRate, oursRate / curlRate, curlRate);
    std::printf("download 200 MB peak memory: %.1f MB (%.2f x curl %.1f MB)\n", oursPeak / 1024.0,
                double(oursPeak) / double(curlPeak), curlPeak / 1024.0);
    std::printf("download peak memory above the idle program: %.1f MB (%.2f x idle %.1f MB)\n",
                (oursPeak - idle.peakKiB) / 1024.0, double(oursPeak) / double(idle.peakKiB), idle.peakKiB / 1024.0);
    return 0;
}
