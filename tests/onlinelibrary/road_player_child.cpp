// The desktop player's side of the road of one download, as a process of its own on the test's
// session bus and XDG folders: the real player manager over the shared settings (with their
// re-read) and the library database, on fake screens and a fake media player. It prints the
// sign of its current item whenever that changes and exits 0 once it is argv[1], 1 after 20 s.
#include "PlayerFakes.h"
#include "platform/AppLauncher.h"
#include "platform/Bundle.h"

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    platform::setMainBundle(
        {QStringLiteral("1.0.0"), QStringLiteral("1"), QString::fromLatin1(platform::kHelperIdentifier)});
    if (argc < 2)
        return 2;
    const QString wanted = QString::fromLocal8Bit(argv[1]);
    CallLog log;
    FakePlatform platform(log);
    VideoPlayerManager manager(platform, Preferences::shared(), LocalVideoDBManager::shared());
    manager.player();
    QString last;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &app, [&] {
        const VideoDetail* current = manager.videoList().current();
        const QString sign = current ? current->sign : QString();
        if (sign != last) {
            last = sign;
            std::printf("current %s\n", qPrintable(sign.isEmpty() ? QStringLiteral("-") : sign));
            std::fflush(stdout);
        }
        if (sign == wanted && Preferences::shared().isOpenPlayer())
            app.exit(0);
    });
    poll.start(50);
    QTimer::singleShot(20000, &app, [&] { app.exit(1); });
    std::printf("ready\n");
    std::fflush(stdout);
    return app.exec();
}
