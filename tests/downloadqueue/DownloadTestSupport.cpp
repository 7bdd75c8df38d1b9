#include "DownloadTestSupport.h"

#include "platform/NotificationCenter.h"
#include "service/DownloadPaths.h"
#include "service/VideoSign.h"
#include "shared/LocalVideoDBManager.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTest>

namespace dltest {

namespace {
testsupport::ServiceStandIn* sharedStandIn = nullptr;

// Its thread may still be pacing an answer when the tests end: it stops with the application
// object, before the program's statics go, which it would otherwise still be using.
void stopStandIn() {
    delete sharedStandIn;
    sharedStandIn = nullptr;
}
}  // namespace

testsupport::ServiceStandIn& standIn() {
    if (!sharedStandIn) {
        sharedStandIn = new testsupport::ServiceStandIn;
        if (!sharedStandIn->start())
            ADD_FAILURE() << "the stand-in did not start";
        qputenv("TAVVEL_SERVICE_URL", sharedStandIn->baseUrl().toUtf8());
        qAddPostRoutine(stopStandIn);
    }
    return *sharedStandIn;
}

QString media(const QString& name) {
    // "small.mp4" is the general-purpose clip of the shared videos.
    const QString file = name == QLatin1String("small.mp4") ? QStringLiteral("clip_320x180.mp4") : name;
    return QDir(QStringLiteral(TAVVEL_TEST_VIDEOS_DIR)).filePath(file);
}

QByteArray contents(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QString signOf(const QString& path) {
    return videoSign(path).value_or(QString());
}

VideoDetail video(const QString& sign, const QString& url, qint64 id) {
    VideoDetail v;
    v.id = id;
    v.sign = sign;
    v.preurl = QStringLiteral("https://example.invalid/pre");
    v.title = QStringLiteral("Download ") + sign.left(6);
    v.url = url;
    v.description = QStringLiteral("served by the stand-in");
    v.time = 6000;
    v.size = 0;  // unknown, so no test here is stopped by a size limit it does not mean to test
    v.ratio = QStringLiteral("16:9");
    v.width = 640;
    v.height = 360;
    v.frame = 25;
    return v;
}

bool waitUntil(const std::function<bool()>& done, int timeoutMs) {
    return QTest::qWaitFor(done, timeoutMs);
}

void spin(int ms) {
    QTest::qWait(ms);
}

QStringList DownloadTest::cacheFiles() const {
    if (manager_)
        manager_->waitForStores();
    QStringList names = QDir(downloadCachesDirectoryPath()).entryList(QDir::Files | QDir::Hidden);
    names.removeAll(QStringLiteral("downloadInfo.bat"));
    return names;
}

QStringList libraryFiles() {
    return QDir(downloadVideoDirectoryPath()).entryList(QDir::Files | QDir::Hidden);
}

void DownloadTest::SetUp() {
    static int routeNumber = 0;
    web_ = std::make_unique<WebModel>(standIn().baseUrl(), /*startTimers=*/false);
    // Tests in one process must not see each other's files or rows.
    LocalVideoDBManager::shared().deleteAllVideos();
    QDir(downloadCachesDirectoryPath()).removeRecursively();
    QDir(downloadVideoDirectoryPath()).removeRecursively();
    files = std::make_unique<testsupport::FileServing>(standIn(), QStringLiteral("/files%1/").arg(++routeNumber));
    reloadObserver_ = platform::NotificationCenter::defaultCenter().addObserver(
        DownloadManager::reloadNotificationName(), nullptr,
        [this](const QVariantMap& userInfo) { reloads.append(userInfo); });
}

void DownloadTest::TearDown() {
    destroyManager();
    web_.reset();
    reloadObserver_.reset();
    files.reset();
}

DownloadManager& DownloadTest::launch() {
    destroyManager();
    manager_ = std::make_unique<DownloadManager>(*web_, LocalVideoDBManager::shared());
    return *manager_;
}

void DownloadTest::destroyManager() {
    if (!manager_)
        return;
    manager_->waitForStores();
    manager_.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

bool DownloadTest::waitForStatus(const DownloadManager::ItemPtr& item, ItemStatus status, int timeoutMs) {
    return waitUntil([&] { return item->status == status && !item->isTransferring(); }, timeoutMs);
}

}  // namespace dltest
