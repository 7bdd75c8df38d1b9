// library_step_child check | insert <prefix> <count> | rename <from> <to>: the main program's
// library on the shared folders; "rename" prints "renamed 0|1" of a rename that never replaces. "check" runs the
// start's check and prints "checked <set aside 0|1> <carried or -1> <some unread 0|1>". "insert" checks, prints
// "ready", waits for a line on standard input, then inserts rows <prefix>0.. one after another and prints "done <sign>"
// for each one committed.
#include "platform/AppLauncher.h"
#include "platform/Bundle.h"
#include "platform/FileLock.h"
#include "shared/LocalVideoDBManager.h"

#include <QCoreApplication>
#include <cstdio>
#include <iostream>

int main(int argc, char** argv) {
    platform::setMainBundle(
        {QStringLiteral("1.0.0"), QStringLiteral("1"), QString::fromLatin1(platform::kMainAppIdentifier)});
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.value(1) == QLatin1String("rename")) {
        std::printf("renamed %d\n", platform::renameNoReplace(args.value(2), args.value(3)) ? 1 : 0);
        return 0;
    }
    LocalVideoDBManager& database = LocalVideoDBManager::shared();
    database.waitForCheck();
    if (args.value(1) == QLatin1String("check")) {
        std::printf("checked %d %d %d\n", database.setAsidePath() ? 1 : 0, database.carriedRows().value_or(-1),
                    database.someRowsUnread() ? 1 : 0);
        return 0;
    }
    if (args.value(1) != QLatin1String("insert"))
        return 2;
    std::printf("ready\n");
    std::fflush(stdout);
    std::string go;
    std::getline(std::cin, go);
    for (int i = 0; i < args.value(3).toInt(); ++i) {
        VideoDetail video;
        video.id = i;
        video.sign = args.value(2) + QString::number(i);
        video.url = QStringLiteral("file:///nowhere/") + video.sign + QStringLiteral(".mp4");
        if (database.insertVideo(video) == LocalVideoDBManager::InsertResult::inserted)
            std::printf("done %s\n", qPrintable(video.sign));
    }
    std::fflush(stdout);
    return 0;
}
