// Child process of the service tests; shares the parent's XDG folders.
//   service_child uuid             print "uuid <identifier>"
//   service_child install URL      send the install report to URL and wait for its reply
//   service_child heartbeat URL    send a boot heartbeat to URL and wait for its reply
#include "service/WebModel.h"

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2)
        return 2;
    const QString verb = args[1];
    if (verb == QLatin1String("uuid")) {
        std::printf("uuid %s\n", qPrintable(WebModel::clientId()));
        return 0;
    }
    if (args.size() < 3)
        return 2;
    WebModel model(args[2], false);  // the parent's stand-in
    QTimer poll;
    const qint64 before = model.ct();
    if (verb == QLatin1String("install")) {
        model.reportInstall(WebModel::InstallWay::Reinstall, QStringLiteral("1000"));
        QObject::connect(&poll, &QTimer::timeout, &app, [&] {
            if (model.ct() != before)
                app.quit();
        });
        poll.start(20);
    } else if (verb == QLatin1String("heartbeat")) {
        model.sendHeartbeat(WebModel::HeartBeatType::Boot, QStringLiteral("1000"),
                            [&](const std::optional<HeartbeatResponse>&) { app.quit(); });
    } else {
        return 2;
    }
    QTimer::singleShot(5000, &app, [] { QCoreApplication::exit(1); });
    return app.exec();
}
