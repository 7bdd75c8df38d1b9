// Settings figures.
//   settings_bench            runs everything and prints the figures
//   settings_bench idle N MODE   (internal) hold Preferences.shared (MODE=prefs) or an empty
//                                one-second timer (MODE=bare) for N seconds; print CPU ms
//   settings_bench watch         (internal) print the wall-clock ms of each PlayModel change seen
#include "shared/Disposable.h"
#include "shared/Preferences.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

static double cpuMs() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000.0 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000.0;
}

static int idle(QCoreApplication& app, int seconds, bool prefs) {
    QTimer empty;
    if (prefs) {
        Preferences::shared();
    } else {
        QObject::connect(&empty, &QTimer::timeout, [] {});
        empty.start(1000);
    }
    const double start = cpuMs();  // the idle cost only, after creation
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    app.exec();
    std::printf("%.3f\n", cpuMs() - start);
    return 0;
}

static int watch(QCoreApplication& app) {
    Preferences& p = Preferences::shared();
    auto dispose = observe(&p, &Preferences::playModelChanged, &app, [](qint64) {
        std::printf("%lld\n", static_cast<long long>(QDateTime::currentMSecsSinceEpoch()));
        std::fflush(stdout);
    });
    std::printf("ready\n");
    std::fflush(stdout);
    QTimer::singleShot(120000, &app, &QCoreApplication::quit);
    return app.exec();
}

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 4 && args[1] == "idle")
        return idle(app, args[2].toInt(), args[3] == "prefs");
    if (args.size() >= 2 && args[1] == "watch")
        return watch(app);

    // Private XDG folders so the figures never touch the user's settings.
    QTemporaryDir tmp;
    for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"})
        qputenv(name, QDir(tmp.path()).filePath(QString::fromLatin1(name)).toLocal8Bit());

    const int seconds = qEnvironmentVariableIntValue("BENCH_IDLE_SECONDS") > 0
                            ? qEnvironmentVariableIntValue("BENCH_IDLE_SECONDS")
                            : 60;
    const QString self = QCoreApplication::applicationFilePath();
    QProcess prefsIdle, bareIdle, watcher;
    // The idle runs get a container of their own: the delay figure's changes must not wake them.
    QTemporaryDir idleTmp;
    QProcessEnvironment idleEnv = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"})
        idleEnv.insert(QString::fromLatin1(name), QDir(idleTmp.path()).filePath(QString::fromLatin1(name)));
    prefsIdle.setProcessEnvironment(idleEnv);
    bareIdle.setProcessEnvironment(idleEnv);
    prefsIdle.start(self, {"idle", QString::number(seconds), "prefs"});
    bareIdle.start(self, {"idle", QString::number(seconds), "bare"});

    // Change-to-observer delay over 20 changes, while the idle runs go on.
    watcher.start(self, {"watch"});
    watcher.waitForReadyRead(5000);
    watcher.readLine();
    Preferences& p = Preferences::shared();
    std::vector<double> delays;
    for (int i = 1; i <= 20; ++i) {
        // Random spacing samples every phase of the other process's timer.
        QThread::msleep(200 + QRandomGenerator::global()->bounded(900));
        const qint64 sent = QDateTime::currentMSecsSinceEpoch();
        p.setPlayModel(i % 3);
        QElapsedTimer t;
        t.start();
        while (!watcher.canReadLine() && t.elapsed() < 5000)
            watcher.waitForReadyRead(50);
        if (watcher.canReadLine())
            delays.push_back(double(watcher.readLine().trimmed().toLongLong() - sent));
    }
    watcher.kill();
    watcher.waitForFinished();
    std::sort(delays.begin(), delays.end());
    const double period = 1000.0;
    if (!delays.empty()) {
        const double median = delays[delays.size() / 2];
        std::printf("settings change seen by other process, median: %.0f ms (%.2fx timer period)\n", median,
                    median / period);
        std::printf("settings change seen by other process, max: %.0f ms (%.2fx timer period)\n", delays.back(),
                    delays.back() / period);
    }

    prefsIdle.waitForFinished(-1);
    bareIdle.waitForFinished(-1);
    const double prefsMs = prefsIdle.readAllStandardOutput().trimmed().toDouble();
    const double bareMs = bareIdle.readAllStandardOutput().trimmed().toDouble();
    std::printf("cpu of Preferences.shared idle %d s: %.1f ms (%.2fx a process with an empty 1 s timer, %.1f ms)\n",
                seconds, prefsMs, bareMs > 0 ? prefsMs / bareMs : 0.0, bareMs);
    return 0;
}
