// Interrupted transfers: pause and resume, validators, broken connections and quitting.
#include "DownloadTestSupport.h"

#include "service/DownloadPaths.h"
#include "service/DownloadStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace dltest;
using S = ItemStatus;

namespace {
// The partial file a saved descriptor names, and its size.
std::pair<QString, qint64> partialOf(const DownloadManager::ItemPtr& item) {
    const auto data = decodeResumeData(contents(item->cacheURL->toLocalFile()));
    if (!data)
        return {QString(), -1};
    const QString path = QDir(downloadCachesDirectoryPath()).filePath(data->partial);
    return {path, QFileInfo(path).size()};
}
}  // namespace

class TransferTest : public DownloadTest {
protected:
    void SetUp() override {
        DownloadTest::SetUp();
        big = media(QStringLiteral("big.mp4"));
        files->addFile(QStringLiteral("big.mp4"), big);
        files->setSpeedLimit(512 * 1024);
    }
    // Adds the big video and installs a progress recorder on its item.
    DownloadManager::ItemPtr addBig(DownloadManager& m, const QString& sign = QString()) {
        m.addDownload(video(sign.isEmpty() ? signOf(big) : sign, files->url(QStringLiteral("big.mp4"))));
        auto added = m.progressArray().back();
        added->downloadProgressHandler = [this](const DownloadProgress& p) { progress.push_back(p); };
        return added;
    }
    bool receivedAtLeast(qint64 bytes) {
        return waitUntil([&] { return !progress.empty() && progress.back().completedUnitCount >= bytes; });
    }
    // Adds the big video and pauses it once `bytes` arrived; null unless its resume data was saved.
    DownloadManager::ItemPtr pausedAfter(DownloadManager& m, qint64 bytes, const QString& sign = QString()) {
        const auto added = addBig(m, sign);
        if (!receivedAtLeast(bytes))
            return nullptr;
        added->pauseDownload();
        return waitUntil([&] { return added->cacheURL.has_value(); }) ? added : nullptr;
    }
    // Resumes the first item at full speed and waits until the list emptied.
    bool resumedToTheEnd(DownloadManager& m) {
        files->setSpeedLimit(0);
        m.resumeDownload(0);
        return waitUntil([&] { return m.progressArray().empty(); });
    }
    QString destination() const { return QDir(downloadVideoDirectoryPath()).filePath(signOf(big) + ".mp4"); }

    QString big;
    std::vector<DownloadProgress> progress;
};

TEST_F(TransferTest, PauseThenResumeContinuesWith206AndTheFileEqualsTheSource) {
    DownloadManager& m = launch();
    const auto it = pausedAfter(m, 300000);
    ASSERT_TRUE(it);
    const auto [partial, kept] = partialOf(it);
    ASSERT_GT(kept, 0);
    EXPECT_EQ(it->status, S::pause);

    progress.clear();
    ASSERT_TRUE(resumedToTheEnd(m));

    const auto served = files->requests();
    ASSERT_EQ(served.size(), 2);
    EXPECT_EQ(served[0].status, 200);
    EXPECT_EQ(served[1].status, 206);
    EXPECT_EQ(served[1].range, "bytes=" + QByteArray::number(kept) + "-");
    EXPECT_EQ(served[1].ifRange, files->etag(QStringLiteral("big.mp4")));
    EXPECT_EQ(served[1].firstByte, kept);
    // Progress counts the bytes from before the pause.
    ASSERT_FALSE(progress.empty());
    EXPECT_GE(progress.front().completedUnitCount, kept);
    EXPECT_EQ(progress.back().completedUnitCount, QFileInfo(big).size());
    EXPECT_EQ(progress.back().totalUnitCount, QFileInfo(big).size());

    EXPECT_EQ(contents(destination()), contents(big));
    EXPECT_TRUE(cacheFiles().isEmpty()) << cacheFiles().join(u' ').toStdString();
}

TEST_F(TransferTest, RangePastTheEndGets416AndStartsAfresh) {
    // The served file shrinks under the same tag: the kept bytes reach past its end.
    const QString small = media(QStringLiteral("small.mp4"));
    files->addFile(QStringLiteral("big.mp4"), big, "\"same\"");
    DownloadManager& m = launch();
    ASSERT_TRUE(pausedAfter(m, QFileInfo(small).size() + 50000, signOf(small)));
    files->addFile(QStringLiteral("big.mp4"), small, "\"same\"");
    ASSERT_TRUE(resumedToTheEnd(m));

    const auto served = files->requests();
    ASSERT_EQ(served.size(), 3);
    EXPECT_EQ(served[1].status, 416);
    EXPECT_TRUE(served[2].range.isEmpty());
    EXPECT_EQ(served[2].status, 200);
    EXPECT_EQ(contents(QDir(downloadVideoDirectoryPath()).filePath(signOf(small) + ".mp4")), contents(small));
    EXPECT_TRUE(cacheFiles().isEmpty());
}

TEST_F(TransferTest, QuittingMidTransferResumesAtTheNextLaunchWithoutRefetching) {
    DownloadManager& m = launch();
    const auto it = addBig(m);
    ASSERT_TRUE(receivedAtLeast(400000));
    m.cancelAllDownloads();
    // Everything is on disk when the call returns; the item ended as failed and freed its slot.
    EXPECT_EQ(it->status, S::error);
    EXPECT_EQ(m.runningCount(), 0);
    ASSERT_TRUE(it->cacheURL.has_value());
    const auto stored = decodeDownloadList(contents(downloadListPath()));
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].cacheURL, it->cacheURL);
    const auto [partial, kept] = partialOf(it);
    ASSERT_GE(kept, 400000);

    files->setSpeedLimit(0);
    // The server counts the first answer's bytes until it sees that connection close.
    ASSERT_TRUE(waitUntil([&] { return files->answersInProgress() == 0; }));
    const qint64 sentBefore = files->bytesSent();
    DownloadManager& next = launch();
    ASSERT_EQ(next.progressArray().size(), 1u);
    ASSERT_TRUE(waitUntil([&] { return next.progressArray().empty(); }));

    const auto served = files->requests();
    ASSERT_EQ(served.size(), 2);
    EXPECT_EQ(served[1].status, 206);
    EXPECT_EQ(served[1].firstByte, kept);
    const qint64 size = QFileInfo(big).size();
    EXPECT_EQ(files->bytesSent() - sentBefore, size - kept);
    EXPECT_EQ(contents(destination()), contents(big));
    EXPECT_TRUE(cacheFiles().isEmpty());
}

TEST_F(TransferTest, BrokenConnectionKeepsResumeDataAndAResumeCompletes) {
    files->setSpeedLimit(0);
    files->setFailAfter(700000);
    DownloadManager& m = launch();
    const auto it = addBig(m);
    ASSERT_TRUE(waitForStatus(it, S::error));
    ASSERT_TRUE(it->cacheURL.has_value());
    EXPECT_EQ(partialOf(it).second, 700000);
    EXPECT_EQ(m.runningCount(), 0);

    files->setFailAfter(-1);
    ASSERT_TRUE(resumedToTheEnd(m));
    // The network library may send a cut-short request once more by itself; what counts is
    // that the resume asked for the rest only.
    const auto served = files->requests();
    ASSERT_GE(served.size(), 2);
    EXPECT_EQ(served.back().status, 206);
    EXPECT_EQ(served.back().firstByte, 700000);
    EXPECT_EQ(contents(destination()), contents(big));
}

TEST_F(TransferTest, PauseAndImmediateResumeGiveOneCleanTransfer) {
    DownloadManager& m = launch();
    const auto it = addBig(m);
    ASSERT_TRUE(receivedAtLeast(200000));
    files->setSpeedLimit(0);
    it->pauseDownload();
    m.resumeDownload(0);  // before the pause's answer arrived
    EXPECT_EQ(it->status, S::downloading);
    EXPECT_EQ(m.runningCount(), 1);
    ASSERT_TRUE(waitUntil([&] { return m.progressArray().empty(); }));
    const auto served = files->requests();
    ASSERT_EQ(served.size(), 2);
    EXPECT_EQ(served[1].status, 206);
    EXPECT_EQ(m.runningCount(), 0);
    EXPECT_EQ(contents(destination()), contents(big));
    EXPECT_TRUE(cacheFiles().isEmpty());
}

TEST_F(TransferTest, AResumeAnsweredWithoutTheRestNeverSpoilsTheFile) {
    struct Case {
        int errorStatus;      // the resume is answered with this error
        qint64 rangeShift;    // or with a 206 that starts this far from the asked byte
        QByteArray etag;      // or, the file having changed to this tag, with all of it
        QList<int> statuses;  // of every answer, where no error was sent
    } const cases[] = {{404, 0, {}, {}},
                       {500, 0, {}, {}},
                       {503, 0, {}, {}},
                       {0, -1000, {}, {200, 206, 200}},
                       {0, 0, "\"another-version\"", {200, 200}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.errorStatus << " " << c.rangeShift << " " << c.etag.constData());
        files->resetCounters();
        files->setSpeedLimit(512 * 1024);
        progress.clear();
        DownloadManager& m = launch();
        const auto it = pausedAfter(m, 300000);
        ASSERT_TRUE(it);
        const auto [partial, kept] = partialOf(it);
        ASSERT_GT(kept, 0);
        const QByteArray keptBytes = contents(partial);

        files->setErrorStatus(c.errorStatus);
        files->setRangeShift(c.rangeShift);
        if (!c.etag.isEmpty())
            files->setEtag(QStringLiteral("big.mp4"), c.etag);
        if (c.errorStatus != 0) {
            // The item fails, frees its slot and keeps the partial for the next resume.
            files->setSpeedLimit(0);
            m.resumeDownload(0);
            ASSERT_TRUE(waitForStatus(it, S::error));
            EXPECT_EQ(m.runningCount(), 0);
            ASSERT_TRUE(it->cacheURL.has_value());
            EXPECT_EQ(partialOf(it), std::make_pair(partial, kept));
            EXPECT_EQ(contents(partial), keptBytes);
            files->setErrorStatus(0);
        }
        ASSERT_TRUE(resumedToTheEnd(m));
        const auto served = files->requests();
        if (c.errorStatus != 0) {
            EXPECT_EQ(served.back().status, 206);
            EXPECT_EQ(served.back().firstByte, kept);
            EXPECT_EQ(served.back().plannedBytes, QFileInfo(big).size() - kept);  // only the rest
        } else {
            // Misplaced or changed bytes are not appended: the file is fetched again from its start.
            QList<int> statuses;
            for (const auto& answer : served)
                statuses << answer.status;
            ASSERT_EQ(statuses, c.statuses);
            EXPECT_FALSE(served[1].range.isEmpty());
            EXPECT_TRUE(served.size() < 3 || served[2].range.isEmpty());
        }
        EXPECT_EQ(contents(destination()), contents(big));
        EXPECT_TRUE(cacheFiles().isEmpty()) << cacheFiles().join(u' ').toStdString();
        QFile::remove(destination());
        files->setRangeShift(0);
    }
}

TEST_F(TransferTest, ABodyFarLongerThanItsRecordStopsAtTheSizeAndFailsTheItem) {
    files->setSpeedLimit(0);
    const qint64 real = QFileInfo(big).size();
    struct Case {
        qint64 recordSize;
        S end;
    } const cases[] = {
        {100000, S::error},                                    // a lie: the body would fill the disk
        {real - 1000, S::finish},                              // a record a little off still downloads
        {real - DownloadItem::kSizeMarginBytes - 1, S::error}  // just past the margin
    };
    DownloadManager& m = launch();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.recordSize);
        VideoDetail v = video(signOf(big), files->url(QStringLiteral("big.mp4")));
        v.size = c.recordSize;
        m.addDownload(v);
        const auto it = m.progressArray().back();
        if (c.end == S::finish) {
            ASSERT_TRUE(waitUntil([&] { return m.progressArray().empty(); }));
            EXPECT_EQ(contents(destination()), contents(big));
            continue;
        }
        ASSERT_TRUE(waitForStatus(it, S::error));
        EXPECT_EQ(it->failure, DownloadFailure::tooLarge);  // the server's fault, not the disk's
        // Nothing of the lying body is kept to be resumed.
        EXPECT_TRUE(cacheFiles().filter(QStringLiteral(".part")).isEmpty()) << cacheFiles().join(' ').toStdString();
        m.removeDownload(it.get());
    }
}
