// Every file the programs rewrite whole, written on a disk that fills: a file-size limit with
// SIGXFSZ ignored makes writes past it fail as they do on a full disk. The old file must stay.
#include "MainWindow/Controller/SearchHistoryManager.h"
#include "MainWindow/CrashReport.h"
#include "platform/LoginItem.h"
#include "platform/WholeFile.h"
#include "service/DownloadManager.h"
#include "service/DownloadPaths.h"

#include <QDir>
#include <QFile>
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

// Limits the size of every file this process writes while it lives.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &old_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, previous_);
    }

private:
    rlimit old_{};
    void (*previous_)(int) = nullptr;
};

void removeAllDownloads() {
    DownloadManager& queue = DownloadManager::shared();
    while (!queue.progressArray().empty())
        queue.removeDownload(queue.progressArray().front().get());
    queue.waitForStores();
}

VideoDetail video(const QString& sign) {
    VideoDetail v;
    v.sign = sign;
    v.title = QString(200, u'T');
    v.url = QStringLiteral("http://127.0.0.1:9/") + sign + QStringLiteral(".mp4");
    v.size = 1000;
    return v;
}
}  // namespace

TEST(FullDisk, EveryWholeFileKeepsItsOldContentWhenTheNewCannotBeWritten) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString history = dir.filePath(QStringLiteral("searchHistory.info"));
    SearchHistoryManager historyManager(history);
    const QString program = QStringLiteral("/usr/bin/TavvelHelper");
    const QString longProgram = QStringLiteral("/usr/bin/") + QString(3000, u'x');
    const QString crashDir = dir.filePath(QStringLiteral("Crash"));
    const auto report = [](int reasonLength) {
        return crash::Report{QStringLiteral("std::runtime_error"), {}, {}, {}, QString(reasonLength, u'r'), {}};
    };
    struct Case {
        const char* name;
        QString path;
        std::function<bool()> writeOld, writeNew;
    };
    const Case cases[] = {
        {"plain file", dir.filePath(QStringLiteral("plain")),
         [&] { return platform::writeWholeFile(dir.filePath(QStringLiteral("plain")), "old"); },
         [&] { return !platform::writeWholeFile(dir.filePath(QStringLiteral("plain")), QByteArray(100000, 'n')); }},
        {"search history", history,
         [&] {
             historyManager.addSearchHistory(QStringLiteral("first"));
             return true;
         },
         [&] {
             historyManager.addSearchHistory(QString(5000, u'w'));
             return true;
         }},
        {"autostart entry", platform::autostartEntryPath(QStringLiteral("com.zembo.FullDisk")),
         [&] { return platform::setLoginItemEnabled(QStringLiteral("com.zembo.FullDisk"), program, true); },
         [&] { return !platform::setLoginItemEnabled(QStringLiteral("com.zembo.FullDisk"), longProgram, true); }},
        {"crash report", QDir(crashDir).filePath(crash::fileName(1000)),
         [&] { return crash::writeReport(crashDir, report(10), 1000); },
         [&] { return !crash::writeReport(crashDir, report(100000), 1000); }},
        {"download list", downloadListPath(),
         [&] {
             DownloadManager::shared().addDownload(video(QStringLiteral("first")));
             DownloadManager::shared().waitForStores();
             return true;
         },
         [&] {
             for (int i = 0; i < 40; ++i)
                 DownloadManager::shared().addDownload(video(QStringLiteral("more%1").arg(i)));
             DownloadManager::shared().waitForStores();
             return true;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(c.writeOld());
        const QByteArray old = contents(c.path);
        ASSERT_FALSE(old.isEmpty());
        {
            FileSizeLimit limit(rlim_t(old.size()) + 64);
            EXPECT_TRUE(c.writeNew());
        }
        EXPECT_EQ(contents(c.path), old);
        // The folder holds the file alone: no temporary is left behind.
        const QStringList left = QFileInfo(c.path).dir().entryList({QFileInfo(c.path).fileName() + QStringLiteral("*")},
                                                                  QDir::Files | QDir::Hidden);
        EXPECT_EQ(left, QStringList{QFileInfo(c.path).fileName()});
    }
    EXPECT_EQ(SearchHistoryManager::loadSearchHistory(history), QStringList{QStringLiteral("first")});
    removeAllDownloads();
    platform::setLoginItemEnabled(QStringLiteral("com.zembo.FullDisk"), program, false);
}
