// Helper program of bench/app/run.sh.
//   app_bench prepare CLIP [closed]   puts CLIP in the library of the current XDG folders (and
//                                     switches the wallpaper off with "closed")
//   app_bench first-frame             runs the desktop player's start-up as TavvelHelper does and
//                                     prints the milliseconds from TAVVEL_LAUNCH_NS (the launch
//                                     time, CLOCK_REALTIME nanoseconds) to the first decoded frame
#include "MainLibrary.h"
#include "platform/DefaultsSuite.h"
#include "player/AppDelegate.h"
#include "player/VideoPlayerManager.h"
#include "shared/Preferences.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <ctime>

namespace {
qint64 nowNs() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

int prepare(const QString& clip, bool closed) {
    const size_t videos = apptest::addToMainLibrary(clip, QStringLiteral("bench0000000000000000000000000000"),
                                                    QStringLiteral("bench"));
    platform::DefaultsSuite& suite = Preferences::sharedDefaults();
    suite.setBool(PreferencesKey::isOpenPlayer, !closed);
    suite.synchronize();
    return videos == 0 ? 1 : 0;
}
}  // namespace

int main(int argc, char* argv[]) {
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (mode == QLatin1String("prepare") && argc > 2) {
        QCoreApplication app(argc, argv);
        return prepare(QString::fromLocal8Bit(argv[2]), argc > 3 && QByteArray(argv[3]) == "closed");
    }
    if (mode != QLatin1String("first-frame")) {
        std::fprintf(stderr, "usage: app_bench prepare CLIP [closed] | first-frame\n");
        return 2;
    }
    const qint64 launched = qEnvironmentVariable("TAVVEL_LAUNCH_NS").toLongLong();
    platform::setMainBundle({QStringLiteral("1.0.0"), QStringLiteral("1"), QStringLiteral("com.zembo.TavvelHelper")});
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    AppDelegate delegate(HelperParts::shared());
    delegate.attachToApplication();
    // Runs right after the delegate's start-up, which is queued first.
    QTimer::singleShot(0, [launched] {
        QObject::connect(&VideoPlayerManager::shared().player(), &MediaPlayer::itemStarted, qApp, [launched] {
            std::printf("%.1f\n", double(nowNs() - launched) / 1e6);
            std::fflush(stdout);
            QCoreApplication::quit();
        });
    });
    QTimer::singleShot(30000, [] { QCoreApplication::exit(3); });
    return app.exec();
}
