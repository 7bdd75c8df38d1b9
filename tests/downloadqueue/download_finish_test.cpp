// Verification, the finish step, removal, and the list surviving a kill.
#include "DownloadTestSupport.h"

#include "platform/DistributedNotificationCenter.h"
#include "service/DownloadPaths.h"
#include "service/DownloadStore.h"
#include "shared/AppInfo.h"
#include "shared/LocalVideoDBManager.h"
#include "support/DatabaseLock.h"
#include "support/ProcessHelpers.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>

#include <sys/file.h>

using namespace dltest;
using S = ItemStatus;
using testsupport::WriteLock;

namespace {
QList<testsupport::RecordedRequest> reports() {
    QList<testsupport::RecordedRequest> out;
    for (const auto& request : standIn().requests())
        if (request.code == 503)
            out.append(request);
    return out;
}

void writeFile(const QString& path, const QByteArray& data) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(data);
}
}  // namespace

class FinishTest : public DownloadTest {
protected:
    void SetUp() override {
        DownloadTest::SetUp();
        standIn().clearRequests();
        small = media(QStringLiteral("small.mp4"));
        files->addFile(QStringLiteral("small.mp4"), small);
        updates = platform::DistributedNotificationCenter::defaultCenter().addObserver(
            DownloadManager::updateVideoListName(), nullptr, [this] {
                ++updateCount;
                rowPresentAtUpdate = LocalVideoDBManager::shared().videoWithSign(signOf(small)).has_value();
            });
    }
    void TearDown() override {
        updates.reset();
        DownloadTest::TearDown();
    }
    QString destination() const { return QDir(downloadVideoDirectoryPath()).filePath(signOf(small) + ".mp4"); }
    void removeWhileTheRowGoesIn(bool rowInBeforeRemoval);

    QString small;
    DisposablePtr updates;
    int updateCount = 0;
    bool rowPresentAtUpdate = false;
};

TEST_F(FinishTest, VerifiedDownloadIsInTheDatabaseBeforeUpdateVideoListAndIsReported) {
    const QString sign = signOf(small);
    DownloadManager& m = launch();
    m.addDownload(video(sign, files->url(QStringLiteral("small.mp4")), 8123));
    ASSERT_TRUE(waitUntil([&] { return updateCount == 1; }));
    EXPECT_TRUE(rowPresentAtUpdate);
    EXPECT_TRUE(m.progressArray().empty());

    EXPECT_EQ(contents(destination()), contents(small));
    const auto row = LocalVideoDBManager::shared().videoWithSign(sign);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->url, QUrl::fromLocalFile(destination()).toString(QUrl::FullyEncoded));
    EXPECT_EQ(QUrl(row->url).toLocalFile(), destination());
    EXPECT_EQ(row->id, 8123);
    EXPECT_EQ(row->title, video(sign, QString()).title);

    ASSERT_TRUE(waitUntil([] { return reports().size() == 1; }));
    const QJsonObject report = *reports().front().json;
    EXPECT_EQ(report.value(QStringLiteral("vid")).toInteger(), 8123);
    EXPECT_EQ(report.value(QStringLiteral("status")).toInteger(), 1);
    EXPECT_FALSE(report.value(QStringLiteral("ui")).toString().isEmpty());

    ASSERT_EQ(reloads.size(), 2);
    EXPECT_EQ(reloads.front().value(QStringLiteral("sign")).toString(), sign);
    EXPECT_TRUE(reloads.back().isEmpty());
    m.waitForStores();
    EXPECT_TRUE(decodeDownloadList(contents(downloadListPath())).empty());
    EXPECT_TRUE(cacheFiles().isEmpty());
    EXPECT_EQ(libraryFiles(), QStringList{sign + ".mp4"});
}

TEST_F(FinishTest, SignMismatchGivesErrorLeavesNoFileAndKeepsTheLibraryFile) {
    const QString claimed = QStringLiteral("ffffffffffffffffffffffffffffffff");
    const QString libraryFile = QDir(downloadVideoDirectoryPath()).filePath(claimed + ".mp4");
    writeFile(libraryFile, "the library's own video");
    DownloadManager& m = launch();
    m.addDownload(video(claimed, files->url(QStringLiteral("small.mp4"))));
    const auto it = item(0);
    ASSERT_TRUE(waitForStatus(it, S::error));
    spin(100);

    EXPECT_EQ(contents(libraryFile), "the library's own video");
    EXPECT_EQ(libraryFiles(), QStringList{claimed + ".mp4"});
    EXPECT_TRUE(cacheFiles().isEmpty()) << cacheFiles().join(u' ').toStdString();
    EXPECT_FALSE(it->cacheURL.has_value());
    EXPECT_EQ(m.progressArray().size(), 1u);
    EXPECT_EQ(m.runningCount(), 0);
    EXPECT_FALSE(LocalVideoDBManager::shared().videoWithSign(claimed));
    EXPECT_TRUE(reports().isEmpty());
    EXPECT_EQ(updateCount, 0);
    EXPECT_TRUE(reloads.back().isEmpty());                  // the list shows the error
    EXPECT_EQ(it->failure, DownloadFailure::verification);  // not a network error
}

TEST_F(FinishTest, ASignAlreadyInTheLibraryKeepsOneFile) {
    // The library has the video already (imported elsewhere); its file is there or was lost.
    const QString sign = signOf(small);
    const QString imported = QDir(AppInfo::applicationSupport()).filePath(QStringLiteral("imported.mp4"));
    for (const bool fileThere : {true, false}) {
        SCOPED_TRACE(fileThere);
        LocalVideoDBManager& database = LocalVideoDBManager::shared();
        database.deleteVideoWithSign(sign);
        VideoDetail row = video(sign, QUrl::fromLocalFile(imported).toString(QUrl::FullyEncoded), 77);
        ASSERT_EQ(database.insertVideo(row), LocalVideoDBManager::InsertResult::inserted);
        QFile::remove(imported);
        if (fileThere)
            writeFile(imported, "the imported copy");
        updateCount = 0;

        DownloadManager& m = launch();
        m.addDownload(video(sign, files->url(QStringLiteral("small.mp4"))));
        ASSERT_TRUE(waitUntil([&] { return m.progressArray().empty(); }));
        m.waitForVerifications();
        // The announcement comes back over the session bus: wait for it where one is due.
        if (fileThere)
            spin(100);
        else
            EXPECT_TRUE(waitUntil([&] { return updateCount == 1; }));
        const auto now = database.videoWithSign(sign);
        ASSERT_TRUE(now);
        EXPECT_EQ(database.allVideos().size(), 1u);
        EXPECT_EQ(QUrl(now->url).toLocalFile(), fileThere ? imported : destination());
        EXPECT_EQ(libraryFiles(), fileThere ? QStringList() : QStringList{sign + ".mp4"});
        EXPECT_EQ(updateCount, fileThere ? 0 : 1);
        EXPECT_TRUE(cacheFiles().isEmpty()) << cacheFiles().join(u' ').toStdString();
        QFile::remove(destination());
    }
}

TEST_F(FinishTest, HostileSignNeverLeavesDownloadVideo) {
    const QString container = QDir(AppInfo::applicationSupport()).filePath(QStringLiteral(".."));
    DownloadManager& m = launch();
    for (const char* hostile : {"../../x", "../../../../tmp/x", "/tmp/x", "..%2F..%2Fx"})
        m.addDownload(video(QString::fromLatin1(hostile), files->url(QStringLiteral("small.mp4"))));
    for (size_t i = 0; i < 4; ++i)
        ASSERT_TRUE(waitForStatus(item(i), S::error));
    EXPECT_TRUE(files->requests().isEmpty());  // nothing was even fetched
    EXPECT_TRUE(libraryFiles().isEmpty());
    EXPECT_TRUE(cacheFiles().isEmpty());
    QDirIterator walk(container, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (walk.hasNext())
        EXPECT_FALSE(walk.next().endsWith(QLatin1String("/x.mp4")));
    EXPECT_FALSE(QFile::exists(QStringLiteral("/tmp/x.mp4")));
}

TEST_F(FinishTest, RemovedItemsNeverEnterTheLibraryAndLeaveNoFiles) {
    const QString big = media(QStringLiteral("big.mp4"));
    files->addFile(QStringLiteral("big.mp4"), big);
    files->setSpeedLimit(256 * 1024);
    DownloadManager& m = launch();
    m.addDownload(video(signOf(big), files->url(QStringLiteral("big.mp4")), 1));
    m.addDownload(video(signOf(big), files->url(QStringLiteral("big.mp4")), 2));
    m.addDownload(video(signOf(small), files->url(QStringLiteral("small.mp4")), 3));
    qint64 received = 0;
    item(0)->downloadProgressHandler = [&](const DownloadProgress& p) { received = p.completedUnitCount; };
    ASSERT_TRUE(waitUntil([&] { return received > 100000; }));

    // The list's delete action: pause, then remove; the pause's late answer only cleans up.
    const auto first = item(0);
    first->pauseDownload();
    m.removeDownload(first.get());
    // Removing while transferring, without a pause, frees the slot as well.
    const auto second = item(0);
    m.removeDownload(second.get());
    m.removeDownload(second.get());  // no longer listed: nothing happens
    ASSERT_EQ(m.progressArray().size(), 1u);
    EXPECT_EQ(item(0)->status, S::downloading);  // the third took a free slot
    ASSERT_TRUE(waitUntil([&] { return m.progressArray().empty(); }));
    spin(200);

    EXPECT_EQ(libraryFiles(), QStringList{signOf(small) + ".mp4"});
    EXPECT_FALSE(LocalVideoDBManager::shared().videoWithSign(signOf(big)));
    EXPECT_TRUE(cacheFiles().isEmpty()) << cacheFiles().join(u' ').toStdString();
    // The report travels over HTTP and may land after the list emptied.
    ASSERT_TRUE(waitUntil([] { return !reports().isEmpty(); }));
    EXPECT_EQ(reports().size(), 1);
}

TEST_F(FinishTest, FailedInsertKeepsTheItemAsErrorWithItsFileAndAnnouncesNothing) {
    const WriteLock lock;
    ASSERT_TRUE(lock.held);
    const QString sign = signOf(small);
    DownloadManager& m = launch();
    // The main thread keeps running while the database waits for the lock.
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    qint64 longestGap = 0;
    QTimer beat;
    QObject::connect(&beat, &QTimer::timeout, [&] {
        longestGap = std::max(longestGap, clock.elapsed() - last);
        last = clock.elapsed();
    });
    beat.start(20);
    m.addDownload(video(sign, files->url(QStringLiteral("small.mp4"))));
    const auto it = item(0);
    // In place, its row not in yet: held, so that "Clear All" takes it for no leftover.
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(destination()); }, 30000));
    QFile placed(destination());
    ASSERT_TRUE(placed.open(QIODevice::ReadWrite));
    EXPECT_NE(::flock(placed.handle(), LOCK_EX | LOCK_NB), 0);
    placed.close();
    ASSERT_TRUE(waitForStatus(it, S::error, 30000));
    beat.stop();
    EXPECT_LT(longestGap, 1000);
    lock.release();
    spin(200);

    EXPECT_EQ(m.progressArray().size(), 1u);
    EXPECT_EQ(libraryFiles(), QStringList{sign + ".mp4"});
    EXPECT_EQ(updateCount, 0);
    EXPECT_TRUE(reports().isEmpty());
    EXPECT_EQ(m.runningCount(), 0);

    // Resumed later, it finishes normally.
    m.resumeDownload(0);
    ASSERT_TRUE(waitUntil([&] { return updateCount == 1; }));
    EXPECT_TRUE(rowPresentAtUpdate);
}

// Removal racing the finish: the verified file is already in the library folder and the worker
// waits for the database lock when the user deletes the item. `rowInBeforeRemoval` lets the
// worker insert the row before the main thread hears of it.
void FinishTest::removeWhileTheRowGoesIn(bool rowInBeforeRemoval) {
    const WriteLock lock;
    ASSERT_TRUE(lock.held);
    LocalVideoDBManager& database = LocalVideoDBManager::shared();
    const QString sign = signOf(small);
    DownloadManager& m = launch();
    m.addDownload(video(sign, files->url(QStringLiteral("small.mp4"))));
    const auto it = item(0);
    // The move comes just before the insert, which now waits for the lock.
    const bool moved = waitUntil([&] { return QFile::exists(destination()); });
    if (rowInBeforeRemoval) {
        // From here no event is handled until the removal, so the worker's answer waits.
        lock.release();
        QElapsedTimer clock;
        clock.start();
        while (!database.videoWithSign(sign) && clock.elapsed() < 15000)
            QThread::msleep(5);
        QThread::msleep(100);
    }
    ASSERT_TRUE(moved);
    ASSERT_EQ(m.progressArray().size(), 1u);
    it->pauseDownload();
    m.removeDownload(it.get());
    if (!rowInBeforeRemoval)
        lock.release();

    // The worker's answer and the undo it leads to end with nothing of the video left.
    EXPECT_TRUE(waitUntil([&] {
        m.waitForVerifications();
        return !database.videoWithSign(sign) && libraryFiles().isEmpty() && cacheFiles().isEmpty() &&
               m.progressArray().empty() && m.runningCount() == 0;
    }));
    m.waitForVerifications();
    EXPECT_FALSE(database.videoWithSign(sign));
    EXPECT_TRUE(libraryFiles().isEmpty()) << libraryFiles().join(u' ').toStdString();
    EXPECT_TRUE(cacheFiles().isEmpty()) << cacheFiles().join(u' ').toStdString();
    EXPECT_TRUE(m.progressArray().empty());
    EXPECT_EQ(m.runningCount(), 0);
    EXPECT_EQ(updateCount, 0);
    EXPECT_TRUE(reports().isEmpty());
}

TEST_F(FinishTest, RemovedWhileTheInsertWaitsNeverEntersTheLibrary) {
    removeWhileTheRowGoesIn(false);
}

TEST_F(FinishTest, RemovedAfterTheRowWentInIsTakenBackAndNotAnnounced) {
    removeWhileTheRowGoesIn(true);
}

TEST_F(FinishTest, PausedAndResumedWhileTheRowGoesInFinishesOnce) {
    const WriteLock lock;
    ASSERT_TRUE(lock.held);
    const QString sign = signOf(small);
    DownloadManager& m = launch();
    m.addDownload(video(sign, files->url(QStringLiteral("small.mp4"))));
    const auto it = item(0);
    const bool moved = waitUntil([&] { return QFile::exists(destination()); });
    it->pauseDownload();
    m.resumeDownload(0);  // a second transfer starts while the first one's row waits for the lock
    // The second transfer ends too, and its own finish waits for the lock beside the first.
    const bool second = waitUntil([&] { return files->requests().size() == 2 && !it->isTransferring(); });
    spin(200);
    lock.release();
    ASSERT_TRUE(moved);
    ASSERT_TRUE(second);

    ASSERT_TRUE(waitUntil([&] { return m.progressArray().empty(); }));
    m.waitForVerifications();
    // The announcement comes back over the bus, which is slow under load: wait for it, then
    // for a marker posted after every finish had its say, so a second one would be in too.
    ASSERT_TRUE(waitUntil([&] { return updateCount >= 1; }));
    int markers = 0;
    const DisposablePtr marker = platform::DistributedNotificationCenter::defaultCenter().addObserver(
        QStringLiteral("FinishTestMarker"), nullptr, [&] { ++markers; });
    platform::DistributedNotificationCenter::defaultCenter().post(QStringLiteral("FinishTestMarker"));
    ASSERT_TRUE(waitUntil([&] { return markers == 1; }));
    EXPECT_EQ(updateCount, 1);
    EXPECT_TRUE(rowPresentAtUpdate);
    EXPECT_EQ(m.runningCount(), 0);
    EXPECT_EQ(libraryFiles(), QStringList{sign + ".mp4"});
    EXPECT_TRUE(cacheFiles().isEmpty()) << cacheFiles().join(u' ').toStdString();
}

TEST_F(DownloadTest, KillingTheProcessWhileItSavesLeavesAWholeList) {
    // Many items with long records make each write large; the child keeps rewriting the list.
    std::vector<DownloadStore> list;
    for (int i = 0; i < 300; ++i) {
        VideoDetail v = video(QStringLiteral("%1").arg(i, 32, 16, QLatin1Char('0')),
                              QStringLiteral("no address %1").arg(i));
        v.description = QString(800, QLatin1Char('d'));
        list.push_back(DownloadStore{v, std::nullopt});
    }
    writeFile(downloadListPath(), encodeDownloadList(list));

    for (int round = 0; round < 8; ++round) {
        QProcess child;
        testsupport::startChild(child, QStringLiteral(DOWNLOAD_CHURN), {});
        ASSERT_TRUE(child.waitForStarted());
        ASSERT_TRUE(waitUntil([&] { return child.readAllStandardOutput().contains("churning"); }, 20000));
        spin(static_cast<int>(QRandomGenerator::global()->bounded(20, 250)));
        child.kill();  // SIGKILL
        child.waitForFinished();

        const auto stored = decodeDownloadList(contents(downloadListPath()));
        ASSERT_EQ(stored.size(), list.size()) << "round " << round;
        for (size_t i = 0; i < list.size(); ++i)
            ASSERT_EQ(stored[i].videoInfo.toJsonObject(), list[i].videoInfo.toJsonObject());
    }
}
