// Every file the programs rewrite whole, written on a disk that fills: a file-size limit with
// SIGXFSZ ignored makes writes past it fail as they do on a full disk. The old file must stay.
#include "MainWindow/search/SearchHistoryManager.h"
#include "PlayerOnDisk.h"
#include "MainWindow/startup/CrashReport.h"
#include "platform/LoginItem.h"
#include "service/DownloadManager.h"
#include "service/DownloadPaths.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace {
QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

VideoDetail queued(int n) {
    VideoDetail v;
    v.sign = QStringLiteral("full%1").arg(n);
    v.title = QString(200, u'T');
    v.url = QStringLiteral("http://127.0.0.1:9/%1.mp4").arg(n);
    return v;
}
}  // namespace

TEST(FullDisk, EveryWholeFileKeepsItsOldContentWhenTheNewCannotBeWritten) {
    QTemporaryDir dir;
    SearchHistoryManager history(dir.filePath(QStringLiteral("searchHistory.info")));
    const QString crashDir = dir.filePath(QStringLiteral("Crash"));
    const QString id = QStringLiteral("com.zembo.FullDisk");
    DownloadManager& queue = DownloadManager::shared();
    const auto report = [](int length) {
        return crash::Report{QStringLiteral("e"), {}, {}, {}, QString(length, u'r'), {}};
    };
    // Each: the file, a first write, and a larger one that must fail (false when it tells).
    const struct {
        const char* name;
        QString path;
        std::function<bool()> writeOld, writeNew;
    } cases[] = {
        {"search history", dir.filePath(QStringLiteral("searchHistory.info")),
         [&] { return history.addSearchHistory(QStringLiteral("first")), history.waitForWrites(), true; },
         [&] { return history.addSearchHistory(QString(5000, u'w')), history.waitForWrites(), true; }},
        {"autostart entry", platform::autostartEntryPath(id),
         [&] { return platform::setLoginItemEnabled(id, QStringLiteral("/usr/bin/TavvelHelper"), true); },
         [&] { return !platform::setLoginItemEnabled(id, QStringLiteral("/usr/bin/") + QString(3000, u'x'), true); }},
        {"crash report", QDir(crashDir).filePath(crash::fileName(1000)),
         [&] { return crash::writeReport(crashDir, report(10), 1000); },
         [&] { return !crash::writeReport(crashDir, report(100000), 1000); }},
        {"download list", downloadListPath(), [&] { return queue.addDownload(queued(0)), queue.waitForStores(), true; },
         [&] {
             for (int i = 1; i < 40; ++i)
                 queue.addDownload(queued(i));
             return queue.waitForStores(), true;
         }},
    };
    rlimit unlimited{};
    getrlimit(RLIMIT_FSIZE, &unlimited);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(c.writeOld());
        const QByteArray old = contents(c.path);
        ASSERT_FALSE(old.isEmpty());
        rlimit limit = unlimited;
        limit.rlim_cur = rlim_t(old.size()) + 64;
        setrlimit(RLIMIT_FSIZE, &limit);
        EXPECT_TRUE(c.writeNew());
        setrlimit(RLIMIT_FSIZE, &unlimited);
        EXPECT_EQ(contents(c.path), old);
        // No temporary is left beside the file.
        const QFileInfo file(c.path);
        EXPECT_EQ(file.dir().entryList({file.fileName() + u'*'}, QDir::Files | QDir::Hidden),
                  QStringList{file.fileName()});
    }
    std::signal(SIGXFSZ, previous);
    while (!queue.progressArray().empty())
        queue.removeDownload(queue.progressArray().front().get());
    queue.waitForStores();
    platform::setLoginItemEnabled(id, QString(), false);
}

TEST(FullDisk, AChoiceMadeOnAFullDiskReachesThePlayerOnceThereIsRoom) {
    const QString folder = diskrig::settingsFolder();
    QDir().mkpath(folder);
    if (::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "no tmpfs mount here (" << std::strerror(errno) << ")";
    const auto unmount = qScopeGuard([&] { diskrig::unmount(folder); });
    diskrig::prepareLibraryAndSettings(folder);
    QTemporaryDir plain;
    diskrig::Player player(plain.filePath(QStringLiteral("player.wait")));
    ASSERT_TRUE(player.waitForLine("playing first", 60000)) << player.output().toStdString();
    diskrig::MountedSettings mounted(folder);
    Preferences& settings = mounted.settings;

    QFile filler(QDir(folder).filePath(QStringLiteral("filler")));
    ASSERT_TRUE(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    while (filler.write(QByteArray(4096, 'f')) == 4096) {
    }
    filler.close();
    QSignalSpy told(&settings, &Preferences::settingsNotWritten);
    settings.setPlayingVideoSign(QStringLiteral("second"));  // "Set as Wallpaper"
    settings.setPlayModel(qint64(VideoPlayerPlayModel::list));
    ASSERT_TRUE(told.wait(20000) || told.count() == 1);
    // This program holds the choice; the file, and so the player, do not have it yet.
    EXPECT_EQ(settings.playingVideoSign(), QStringLiteral("second"));
    EXPECT_FALSE(player.output().contains("playing second"));

    ASSERT_TRUE(filler.remove());
    EXPECT_TRUE(player.waitForLine("playing second", 30000)) << player.output().toStdString();
    QFile file(QDir(folder).filePath(AppInfo::appGroup() + QStringLiteral(".ini")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray written = file.readAll();
    EXPECT_TRUE(written.contains("CurrentVideoSign=second")) << written.toStdString();
    EXPECT_TRUE(written.contains("PlayModel=1")) << written.toStdString();
    EXPECT_EQ(told.count(), 1);
}
