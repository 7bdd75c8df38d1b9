#include "support/MainWindowTestSupport.h"

#include "MainWindow/library/LibraryViewModel.h"
#include "platform/AppLauncher.h"
#include "platform/Bundle.h"
#include "platform/NotificationCenter.h"
#include "service/LocalLibraryModel.h"
#include "shared/LocalVideoDBManager.h"
#include "shared/Preferences.h"
#include "support/ProcessHelpers.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QScrollBar>
#include <QProcess>
#include <QTest>

namespace testsupport {

QStringList writeFrames(const QString& folder, int count) {
    QStringList urls;
    for (int i = 0; i < count; ++i) {
        QImage frame(1280, 720, QImage::Format_RGBA8888);
        frame.fill(QColor::fromHsv(i * 15 % 360, 200, 200));
        const QString path = QDir(folder).filePath(QStringLiteral("frame%1.png").arg(i));
        frame.save(path, "PNG");
        urls << QUrl::fromLocalFile(path).toString();
    }
    return urls;
}

bool scrollEndToEndAndBack(WQCollectionView& view, int pixelsPerFrame) {
    QScrollBar* bar = view.verticalScrollBar();
    const LibraryViewModel* model = view.boundModel();
    const auto settled = [model] {
        return QTest::qWaitFor([model] { return !model || model->runningThumbnailCount() == 0; }, 20000);
    };
    const int step = pixelsPerFrame > 0 ? pixelsPerFrame : bar->pageStep();
    bool arrived = true;
    auto show = [&](int value) {
        bar->setValue(value);
        view.viewport()->repaint();
        if (pixelsPerFrame > 0)
            QTest::qWait(16);
        else
            arrived = settled() && arrived;
    };
    for (int value = 0; value < bar->maximum(); value += step)
        show(value);
    for (int value = bar->maximum(); value > 0; value -= step)
        show(value);
    show(0);
    return settled() && arrived;
}

double residentMiB() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * 4096.0 / (1024.0 * 1024.0) : 0;
}

MainParts mainParts(WebModel* web, DownloadManager* downloads) {
    MainParts parts = MainParts::make();
    if (web)
        parts.web = [web]() -> WebModel& { return *web; };
    if (downloads) {
        parts.downloads = [downloads]() -> DownloadManager& { return *downloads; };
        parts.downloadsIfMade = [downloads] { return downloads; };
    }
    return parts;
}

VideoDetail video(const QString& sign, const QString& title, const QString& imgurl) {
    VideoDetail v;
    v.sign = sign;
    v.title = title.isEmpty() ? QStringLiteral("Title ") + sign : title;
    v.imgurl = imgurl;
    return v;
}

std::vector<VideoDetail> videos(int count, const QString& prefix) {
    std::vector<VideoDetail> list;
    for (int i = 0; i < count; ++i)
        list.push_back(video(prefix + QString::number(i)));
    return list;
}

QStringList librarySigns() {
    QStringList signs;
    for (const VideoDetail& v : LocalVideoDBManager::shared().allVideos())
        signs << v.sign;
    return signs;
}

QStringList libraryTitles() {
    QStringList titles;
    for (const VideoDetail& v : LocalVideoDBManager::shared().allVideos())
        titles << v.title;
    return titles;
}

void emptyLibrary() {
    LocalVideoDBManager::shared().deleteAllVideos();
    const QString folder = LocalLibraryModel::downloadVideoDirectory().toLocalFile();
    // A folder that a test made read-only gives its files up too.
    QDirIterator dirs(folder, QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (dirs.hasNext())
        QFile::setPermissions(dirs.next(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
}

void drain() {
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

bool showExposed(QWidget* widget, QSize size) {
    widget->resize(size);
    widget->show();
    return QTest::qWaitForWindowExposed(widget);
}

void actAsMainProgram() {
    platform::setMainBundle(
        {QStringLiteral("1.0.0"), QStringLiteral("1"), QString::fromLatin1(platform::kMainAppIdentifier)});
}

void resetSharedSettings() {
    Preferences& settings = Preferences::shared();
    settings.setMonitorArrange(0);
    settings.setScreenIndex(0);
    settings.setPlayModel(0);
    settings.setPlayingVideoSign(std::nullopt);
    settings.setVolume(0.5f);
    settings.setMute(false);
    settings.setAlreadyImportVideo(false);
    settings.setIsOpenPlayer(true);
    settings.setIsPlaying(true);
    settings.setAutolaunch(true);
}

void useUnreachableService() {
    qputenv("TAVVEL_SERVICE_URL", refusedServiceUrl().toUtf8());
}

platform::DefaultsSuite& writtenSuite() {
    Preferences::shared().flush();  // what the setters queued
    Preferences::sharedDefaults().synchronize();
    return Preferences::sharedDefaults();
}

void setInOtherProcess(const QString& key, const QString& value) {
    QProcess child;
    startChild(child, QStringLiteral(SETTINGS_CHILD), {QStringLiteral("set"), key, value});
    ASSERT_TRUE(child.waitForFinished(10000));
    ASSERT_EQ(child.exitCode(), 0);
}

QString testVideo(const QString& clip) {
    return QDir(QStringLiteral(TAVVEL_TEST_VIDEOS_DIR)).filePath(clip);
}

QString copyOfTestVideo(const QTemporaryDir& folder, const QString& clip, const QString& name) {
    const QString target = folder.filePath(name.isEmpty() ? clip : name);
    QFile::remove(target);
    QFile::copy(testVideo(clip), target);
    return target;
}

QString writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(bytes);
    return path;
}

AmountPosts::AmountPosts()
    : observation_(platform::NotificationCenter::defaultCenter().addObserver(
          LibraryViewModel::updateVideoAmountName(), nullptr, [this](const QVariantMap&) { ++count; })) {}

Grid::Grid() {
    layout.columnCount = 4;
    layout.itemHeight = 110;
    view.setCollectionViewLayout(&layout);
}

OpenedUrls::OpenedUrls(const QStringList& schemes) : schemes_(schemes) {
    for (const QString& scheme : schemes_)
        QDesktopServices::setUrlHandler(scheme, this, "open");
}

OpenedUrls::~OpenedUrls() {
    for (const QString& scheme : schemes_)
        QDesktopServices::unsetUrlHandler(scheme);
}

void OpenedUrls::open(const QUrl& url) {
    urls.append(url);
}

void LibraryTest::SetUp() {
    actAsMainProgram();
    resetSharedSettings();
    LocalVideoDBManager::shared().deleteAllVideos();
}

void LibraryTest::TearDown() {
    drain();
    LocalVideoDBManager::shared().deleteAllVideos();
}

}  // namespace testsupport
