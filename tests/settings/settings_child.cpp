// Child process of the settings tests.
//   settings_child set <key> <value>   change a setting through Preferences.shared and exit
//   settings_child watch <key>         print "changed <value>" when the setting changes, for 10 s
//   settings_child post <name>         post a distributed notification and exit
//   settings_child listen <name>       print "got <name>" when it arrives, for 10 s
//   settings_child count ScreenIndex <from> <to> <ms>   set each value in turn, <ms> apart
//   settings_child churn <ms> <seed>   random changes for <ms> (each printed), then after 3 s
//                                      of passes print "final <key> <value>" for each key
#include "platform/DistributedNotificationCenter.h"
#include "platform/DefaultsSuite.h"
#include "shared/Disposable.h"
#include "shared/Preferences.h"
#include "SettingsChurn.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>
#include <cstdio>

static void say(const QString& text) {
    std::printf("%s\n", qPrintable(text));
    std::fflush(stdout);
}

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3)
        return 2;
    const QString verb = args[1];
    const QString key = args[2];
    DisposablePtr dispose;

    if (verb == QLatin1String("set") && args.size() >= 4) {
        Preferences& p = Preferences::shared();
        const QString v = args[3];
        if (key == QLatin1String("CurrentVideoSign"))
            p.setPlayingVideoSign(v == QLatin1String("-") ? std::optional<QString>() : v);
        else if (!p.setProperty(settingschurn::propertyOf(key), v))
            return 2;
        p.flush();  // the file is written on a worker
        say(QStringLiteral("done"));
        return 0;
    }
    if (verb == QLatin1String("watch")) {
        Preferences& p = Preferences::shared();
        if (key == QLatin1String("IsOpenPlayer"))
            dispose = observe(&p, &Preferences::isOpenPlayerChanged, &app,
                              [](bool v) { say(QStringLiteral("changed %1").arg(v ? "true" : "false")); });
        else if (key == QLatin1String("PlayModel"))
            dispose = observe(&p, &Preferences::playModelChanged, &app,
                              [](qint64 v) { say(QStringLiteral("changed %1").arg(v)); });
        else if (key == QLatin1String("isPlaying"))
            dispose = observe(&p, &Preferences::isPlayingChanged, &app,
                              [](bool v) { say(QStringLiteral("changed %1").arg(v ? "true" : "false")); });
        say(QStringLiteral("ready"));
    } else if (verb == QLatin1String("count") && args.size() >= 6) {
        Preferences& p = Preferences::shared();
        for (qint64 v = args[3].toLongLong(); v <= args[4].toLongLong(); ++v) {
            p.setScreenIndex(v);
            QThread::msleep(args[5].toULong());
        }
        return 0;
    } else if (verb == QLatin1String("churn") && args.size() >= 4) {
        Preferences& p = Preferences::shared();
        const settingschurn::Churn churn(
            p, args[3].toUInt(), key.toLongLong(), [](const settingschurn::Write& w) { say(formatWrite(w)); },
            [&app, &p] {
                QTimer::singleShot(3000, &app, [&app, &p] {
                    for (const auto& k : settingschurn::keys())
                        say(QStringLiteral("final %1 %2").arg(QLatin1String(k.name), k.value(p)));
                    app.quit();
                });
            });
        return app.exec();
    } else if (verb == QLatin1String("post")) {
        platform::DistributedNotificationCenter::defaultCenter().post(key, true);
        return 0;
    } else if (verb == QLatin1String("listen")) {
        dispose = platform::DistributedNotificationCenter::defaultCenter().addObserver(
            key, &app, [key] { say(QStringLiteral("got ") + key); });
        say(QStringLiteral("ready"));
    } else {
        return 2;
    }
    QTimer::singleShot(10000, &app, &QCoreApplication::quit);
    return app.exec();
}
