// One round of the slow-disk figures, in folders the caller set up (XDG_DATA_HOME on a slow
// FUSE pass-through, or on the plain disk as the baseline): this process is the window's side,
// the real desktop player runs beside it. Prints, per step (pause, play, a choice, an import),
// "step <name> <window longest wait ms> <player longest wait ms> <ms until done>".
#include "reliability/PlayerOnDisk.h"
#include "service/LocalLibraryModel.h"

#include <QCoreApplication>
#include <QDateTime>
#include <cstdio>
#include <functional>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QDir().mkpath(diskrig::settingsFolder());
    diskrig::prepareLibraryAndSettings(diskrig::settingsFolder());
    const QString waitLog = QDir(qEnvironmentVariable("TAVVEL_BENCH_PLAIN_DIR"))
                                .filePath(QStringLiteral("player.wait"));
    diskrig::Player player(waitLog);
    if (!player.waitForLine("playing first", 600000)) {
        std::fprintf(stderr, "the player did not start: %s\n", player.output().constData());
        return 1;
    }
    Preferences& settings = Preferences::shared();
    diskrig::Heartbeat heartbeat;
    QTest::qWait(2000);  // the player's start-up settles

    // A step ends when `done` holds, or (without one) after `capMs`: pause and play show no sign
    // of their own in the player, so they get a window long enough for the write and its read.
    const int window = qEnvironmentVariableIntValue("TAVVEL_BENCH_STEP_MS");
    const auto step = [&](const char* name, const std::function<void()>& act, const std::function<bool()>& done,
                          int capMs = 300000) {
        heartbeat.start();
        const qint64 since = QDateTime::currentMSecsSinceEpoch();
        QElapsedTimer took;
        took.start();
        act();
        bool finished = true;
        if (done)
            finished = QTest::qWaitFor(done, capMs);
        else
            QTest::qWait(capMs);
        const qint64 ms = took.elapsed();
        QTest::qWait(1000);  // what the other side does with it
        std::printf("step %s %lld %lld %lld%s\n", name, qint64(heartbeat.longest()), player.longestWaitSince(since), ms,
                    finished ? "" : " unfinished");
        std::fflush(stdout);
    };
    step(
        "pause", [&] { settings.setIsPlaying(false); }, {}, window);
    step(
        "play", [&] { settings.setIsPlaying(true); }, {}, window);
    step(
        "choice", [&] { settings.setPlayingVideoSign(QStringLiteral("second")); },
        [&] { return player.waitForLine("playing second", 10); });
    bool imported = false;
    step(
        "import",
        [&] {
            LocalLibraryModel::shared().importVideo(QUrl::fromLocalFile(diskrig::clip("clip_640x360.webm")), false,
                                                    [&](const QString&, ImportVideoStatus) { imported = true; });
        },
        [&] { return imported; });
    return 0;
}
