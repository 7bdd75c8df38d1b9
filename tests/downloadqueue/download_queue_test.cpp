// The queue of two and the persisted list across launches.
#include "DownloadTestSupport.h"

#include "service/DownloadPaths.h"
#include "service/DownloadStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

using namespace dltest;

namespace {
std::vector<ItemStatus> statuses(const DownloadManager& m) {
    std::vector<ItemStatus> out;
    for (const auto& item : m.progressArray())
        out.push_back(item->status);
    return out;
}

void writeFile(const QString& path, const QByteArray& data) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(data);
}
void writeList(const QByteArray& data) {
    writeFile(downloadListPath(), data);
}

using S = ItemStatus;
}  // namespace

TEST_F(DownloadTest, ThirdDownloadWaitsForASlotAndAPauseFreesOne) {
    const QString big = media(QStringLiteral("big.mp4"));
    files->addFile(QStringLiteral("big.mp4"), big);
    files->setSpeedLimit(64 * 1024);
    DownloadManager& m = launch();
    for (qint64 id = 1; id <= 3; ++id)
        m.addDownload(video(signOf(big), files->url(QStringLiteral("big.mp4")), id));

    EXPECT_EQ(statuses(m), (std::vector<S>{S::downloading, S::downloading, S::wait}));
    EXPECT_EQ(m.runningCount(), 2);
    ASSERT_TRUE(waitUntil([&] { return files->requests().size() == 2; }));
    spin(300);
    EXPECT_EQ(files->requests().size(), 2);
    // Adding the same video again is allowed: three items with one sign.
    EXPECT_TRUE(m.isDownloading(signOf(big)));
    EXPECT_FALSE(m.isDownloading(QStringLiteral("ffffffffffffffffffffffffffffffff")));
    ASSERT_EQ(reloads.size(), 3);
    EXPECT_EQ(reloads[0].value(QStringLiteral("sign")).toString(), signOf(big));

    // The pause frees the slot at once; its answer then saves resume data and keeps `pause`.
    const auto first = item(0);
    first->pauseDownload();
    EXPECT_EQ(statuses(m), (std::vector<S>{S::pause, S::downloading, S::downloading}));
    EXPECT_EQ(m.runningCount(), 2);
    ASSERT_TRUE(waitUntil([&] { return files->requests().size() == 3; }));
    // The running transfer had a descriptor from its start; the pause's answer replaces it.
    ASSERT_TRUE(waitUntil([&] { return reloads.size() == 4; }));
    ASSERT_TRUE(first->cacheURL.has_value());
    EXPECT_EQ(first->status, S::pause);
    EXPECT_EQ(first->lastStatus, S::downloading);
    EXPECT_TRUE(QFile::exists(first->cacheURL->toLocalFile()));
    m.waitForStores();
    const auto stored = decodeDownloadList(contents(downloadListPath()));
    ASSERT_EQ(stored.size(), 3u);
    EXPECT_EQ(stored[0].cacheURL, first->cacheURL);
    EXPECT_EQ(reloads.size(), 4);  // the failure's reload, without a sign
    EXPECT_TRUE(reloads.back().isEmpty());

    // Indexes outside the list do nothing; a paused item resumes into the queue.
    m.resumeDownload(3);
    m.resumeDownload(-1);
    EXPECT_EQ(first->status, S::pause);
    m.resumeDownload(0);
    EXPECT_EQ(first->status, S::wait);
    EXPECT_EQ(first->lastStatus, S::pause);
    spin(200);
    EXPECT_EQ(first->status, S::wait);  // both slots are still busy
    EXPECT_EQ(m.runningCount(), 2);
}

TEST_F(DownloadTest, RestoredItemsStartAsWaitInFileOrderTwoAtATime) {
    const QString big = media(QStringLiteral("big.mp4"));
    files->addFile(QStringLiteral("big.mp4"), big);
    files->setSpeedLimit(64 * 1024);
    std::vector<DownloadStore> list;
    for (qint64 id = 1; id <= 3; ++id)
        list.push_back(DownloadStore{video(signOf(big), files->url(QStringLiteral("big.mp4")), id), std::nullopt});
    // A resume file that no longer exists: that item starts afresh, without an error.
    list[0].cacheURL = QUrl::fromLocalFile(QDir(downloadCachesDirectoryPath()).filePath(QStringLiteral("Gone123456")));
    writeList(encodeDownloadList(list));

    DownloadManager& m = launch();
    ASSERT_EQ(m.progressArray().size(), 3u);
    EXPECT_EQ(item(0)->videoInfo.id, 1);
    EXPECT_EQ(item(2)->videoInfo.id, 3);
    EXPECT_EQ(statuses(m), (std::vector<S>{S::downloading, S::downloading, S::wait}));
    ASSERT_TRUE(waitUntil([&] { return files->requests().size() == 2; }));
    for (const auto& request : files->requests())
        EXPECT_TRUE(request.range.isEmpty());

    // Pausing a waiting item cancels nothing, and its queued start is then skipped.
    item(2)->pauseDownload();
    EXPECT_EQ(item(2)->status, S::pause);
    EXPECT_EQ(item(2)->lastStatus, S::wait);
    item(1)->pauseDownload();
    EXPECT_EQ(m.runningCount(), 1);
    spin(200);
    EXPECT_EQ(files->requests().size(), 2);
    m.resumeDownload(2);
    EXPECT_EQ(item(2)->status, S::downloading);
    ASSERT_TRUE(waitUntil([&] { return files->requests().size() == 3; }));
}

TEST_F(DownloadTest, MissingEmptyOrGarbageListReadsAsEmpty) {
    for (const QByteArray& content : {QByteArray("<missing>"), QByteArray(), QByteArray("\x00\x01garbage", 9),
                                      QByteArray("{\"version\":1,\"items\":[{\"videoInfo\":{}}]}")}) {
        QFile::remove(downloadListPath());
        if (content != "<missing>")
            writeList(content);
        DownloadManager& m = launch();
        EXPECT_TRUE(m.progressArray().empty());
        EXPECT_EQ(m.runningCount(), 0);
        // Nothing is written until the list changes.
        m.waitForStores();
        if (content != "<missing>")
            EXPECT_EQ(contents(downloadListPath()), content);
        else
            EXPECT_FALSE(QFile::exists(downloadListPath()));
    }
}

TEST_F(DownloadTest, StartUpDeletesOnlyPartialFilesThatNoDescriptorNames) {
    const QDir caches(downloadCachesDirectoryPath());
    auto touch = [&](const QString& name, const QByteArray& data) { writeFile(caches.filePath(name), data); };
    touch(QStringLiteral("Orphan1234.part"), "lost bytes");
    touch(QStringLiteral("Kept567890.part"), "kept bytes");
    touch(QStringLiteral("other-file.part"), "not ours");
    touch(QStringLiteral("searchHistory"), "someone else's");
    const ResumeData resume{QUrl(QStringLiteral("http://127.0.0.1:1/v.mp4")), QStringLiteral("Kept567890.part"),
                            QStringLiteral("\"tag\""), QString(), 100};
    touch(QStringLiteral("Desc123456"), encodeResumeData(resume));
    // A descriptor written just before a kill, whose list never named it.
    touch(QStringLiteral("Stray12345"), encodeResumeData(resume));
    touch(QStringLiteral("Notes12345"), "a name like ours, not a descriptor");
    // Temporary files of writes a kill cut short go (a descriptor's also when cut part-way);
    // names only like them stay, and so does a file of a descriptor's temporary name that holds
    // something else.
    const QString listName = QFileInfo(downloadListPath()).fileName();
    const QByteArray descriptor = encodeResumeData(resume);
    const struct {
        QString name;
        QByteArray bytes;
        bool stays;
    } leftovers[] = {
        {listName + ".Zs9BRk", "half of a list", false},
        {QStringLiteral("Desc123456.a1B2c3"), descriptor, false},
        {QStringLiteral("Desc123456.Cut9Xy"), descriptor.left(descriptor.size() / 2), false},
        {QStringLiteral("Desc123456.Cut2Xy"), descriptor.left(4), false},
        {QStringLiteral("Desc123456.Emp7yZ"), "", false},
        {QStringLiteral("Desc123456.n0tD3s"), "{\"notes\": 1}", true},
        {listName + ".Zs9BR", "", true},
        {listName + ".Zs9BRk.old", "", true},
        {QStringLiteral("Desc123456.a1-2c3"), descriptor, true},
        {QStringLiteral("Screenshot.backup"), "someone else's", true},
        {QStringLiteral("searchHistory.a1B2c3"), "", true},
    };
    for (const auto& leftover : leftovers)
        touch(leftover.name, leftover.bytes);
    writeList(encodeDownloadList({DownloadStore{
        video(QStringLiteral("0123456789abcdef0123456789abcdef"), QStringLiteral("http://127.0.0.1:1/v.mp4")),
        QUrl::fromLocalFile(caches.filePath(QStringLiteral("Desc123456")))}}));

    DownloadManager& m = launch();
    ASSERT_EQ(m.progressArray().size(), 1u);
    EXPECT_FALSE(caches.exists(QStringLiteral("Orphan1234.part")));
    EXPECT_TRUE(caches.exists(QStringLiteral("Kept567890.part")));
    EXPECT_TRUE(caches.exists(QStringLiteral("other-file.part")));
    EXPECT_TRUE(caches.exists(QStringLiteral("searchHistory")));
    EXPECT_TRUE(caches.exists(QStringLiteral("Desc123456")));
    EXPECT_FALSE(caches.exists(QStringLiteral("Stray12345")));
    EXPECT_TRUE(caches.exists(QStringLiteral("Notes12345")));
    for (const auto& leftover : leftovers)
        EXPECT_EQ(caches.exists(leftover.name), leftover.stays) << leftover.name.toStdString();
    EXPECT_TRUE(caches.exists(listName));
}

TEST_F(DownloadTest, AFileReceivedWholeBeforeAQuitIsVerifiedWithoutFetchingItAgain) {
    // The state a quit leaves while a received file is being verified.
    const QString small = media(QStringLiteral("small.mp4"));
    files->addFile(QStringLiteral("small.mp4"), small);
    const QString url = files->url(QStringLiteral("small.mp4"));
    const QDir caches(downloadCachesDirectoryPath());
    writeFile(caches.filePath(QStringLiteral("Whole12345.part")), contents(small));
    const ResumeData resume{QUrl(url), QStringLiteral("Whole12345.part"),
                            QString::fromLatin1(files->etag(QStringLiteral("small.mp4"))), QString(),
                            QFileInfo(small).size()};
    const QString descriptor = caches.filePath(QStringLiteral("Desc123456"));
    writeFile(descriptor, encodeResumeData(resume));
    writeList(encodeDownloadList({DownloadStore{video(signOf(small), url), QUrl::fromLocalFile(descriptor)}}));

    DownloadManager& m = launch();
    ASSERT_TRUE(waitUntil([&] { return m.progressArray().empty(); }));
    EXPECT_TRUE(files->requests().isEmpty());
    EXPECT_EQ(libraryFiles(), QStringList{signOf(small) + ".mp4"});
    EXPECT_TRUE(cacheFiles().isEmpty()) << cacheFiles().join(u' ').toStdString();
}

TEST_F(DownloadTest, FailedItemsShareOneNetworkThread) {
    auto threads = [] {
        return QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size();
    };
    DownloadManager& m = launch();
    const auto before = threads();
    for (int i = 0; i < 40; ++i)
        m.addDownload(
            video(QStringLiteral("%1").arg(i, 32, 16, QLatin1Char('0')), files->url(QStringLiteral("none.mp4"))));
    ASSERT_TRUE(waitUntil([&] {
        return std::all_of(m.progressArray().begin(), m.progressArray().end(),
                           [](const auto& it) { return it->status == S::error && !it->isTransferring(); });
    }));
    EXPECT_LE(threads() - before, 3);
}

TEST_F(DownloadTest, UnusableAddressOrSignEndsInErrorAndFreesTheSlot) {
    const QString small = media(QStringLiteral("small.mp4"));
    files->addFile(QStringLiteral("small.mp4"), small);
    DownloadManager& m = launch();
    const QString sign = signOf(small);
    m.addDownload(video(sign, QStringLiteral("file:///etc/hostname")));
    m.addDownload(video(sign, QStringLiteral("not an address at all")));
    m.addDownload(video(sign, QStringLiteral("ftp://127.0.0.1/v.mp4")));
    m.addDownload(video(sign, files->url(QStringLiteral("small.mp4")), 99));
    ASSERT_TRUE(waitForStatus(item(0), S::error));
    ASSERT_TRUE(waitForStatus(item(1), S::error));
    ASSERT_TRUE(waitForStatus(item(2), S::error));
    ASSERT_TRUE(waitUntil([&] { return m.progressArray().size() == 3; }));  // the good one finished
    EXPECT_EQ(files->requests().size(), 1);
    EXPECT_EQ(m.runningCount(), 0);
}
