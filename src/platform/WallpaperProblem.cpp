#include "platform/WallpaperProblem.h"

#include "platform/AppLauncher.h"
#include "platform/Bundle.h"
#include "platform/DefaultsSuite.h"
#include "platform/DistributedNotificationCenter.h"
#include "platform/Log.h"
#include "platform/Paths.h"

#include <QDir>
#include <QFile>

namespace platform {
namespace {
const QString problemKey = QStringLiteral("WallpaperProblem");
QString lastingProblem;

void record(const QString& text) {
    DefaultsSuite& suite = helperDefaults();
    if (suite.string(problemKey).value_or(QString()) == text)
        return;
    if (text.isEmpty())
        suite.remove(problemKey);
    else
        suite.setObject(problemKey, text);
    suite.synchronize();
    DistributedNotificationCenter::defaultCenter().post(QString::fromLatin1(kWallpaperProblemNotification),
                                                        /*waitForDelivery=*/true);
}
}  // namespace

DefaultsSuite& helperDefaults() {
    const QString helper = QString::fromLatin1(kHelperIdentifier);
    if (mainBundle().identifier == helper)
        return DefaultsSuite::standard();
    static DefaultsSuite suite(QDir(configDirectory()).filePath(helper + QStringLiteral(".ini")));
    return suite;
}

void reportWallpaperProblem(const QString& text) {
    logLine(QStringLiteral("wallpaper problem: ") + text);
    record(text.simplified());
}

void clearWallpaperProblem() {
    record(lastingProblem);
}

void reportLastingWallpaperProblem(const QString& text) {
    lastingProblem = text.simplified();
    reportWallpaperProblem(text);
}

QString crashRecordPath() {
    return QDir(ownCachesDirectory(QString::fromLatin1(kHelperIdentifier))).filePath(QStringLiteral("crashed-video"));
}

void forgetPlayerCrashes() {
    QFile::remove(crashRecordPath());
    DefaultsSuite& suite = helperDefaults();
    suite.synchronizeIfChanged();
    if (!suite.contains(QString::fromLatin1(kCrashedVideosKey)))
        return;
    suite.remove(QString::fromLatin1(kCrashedVideosKey));
    suite.synchronize();
}

QString wallpaperProblem() {
    DefaultsSuite& suite = helperDefaults();
    suite.synchronizeIfChanged();
    return suite.string(problemKey).value_or(QString());
}
}  // namespace platform
