// Screenshots of the library screen for a look by eye, under xvfb-run: the online tab with a
// page from the stand-in, its failure overlay, and the download tab with one running and one
// paused download. Usage: online_screens OUTPUT_DIR (each picture is taken of the whole
// display with ImageMagick's "import -window root").
#include "OnlineTestSupport.h"

#include "MainWindow/Controller/VideoLibraryViewController.h"
#include "MainWindow/Controller/WebLibraryViewModel.h"
#include "service/DownloadManager.h"
#include "service/VideoSign.h"
#include "support/FileServing.h"
#include "views/TabTitleView.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

namespace {
void shoot(const QString& directory, const QString& name) {
    QTest::qWait(800);
    const QString file = QDir(directory).filePath(name + QStringLiteral(".png"));
    const int code = QProcess::execute(QStringLiteral("import"),
                                       {QStringLiteral("-window"), QStringLiteral("root"), file});
    std::printf("%s %s\n", qPrintable(file), code == 0 ? "taken" : "failed");
    std::fflush(stdout);
}

// A cover drawn here, of one colour per video.
QString makeCover(const QString& directory, int index) {
    QImage image(320, 180, QImage::Format_RGB32);
    image.fill(QColor::fromHsv((index * 37) % 360, 160, 200));
    const QString path = QDir(directory).filePath(QStringLiteral("cover%1.png").arg(index));
    image.save(path);
    return path;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return 2;
    const QString out = QString::fromLocal8Bit(argv[1]);
    QTemporaryDir home;
    for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"}) {
        QDir(home.path()).mkpath(QString::fromLatin1(name));
        qputenv(name, QDir(home.path()).filePath(QString::fromLatin1(name)).toLocal8Bit());
    }
    QApplication app(argc, argv);
    testsupport::actAsMainProgram();
    testsupport::ServiceStandIn standIn;
    if (!standIn.start())
        return 1;
    qputenv("TAVVEL_SERVICE_URL", standIn.baseUrl().toUtf8());
    testsupport::FileServing files(standIn);
    std::vector<VideoDetail> page;
    const QStringList titles{"Aurora over the fjord", "City lights",     "Rain on glass", "Desert dunes", "Koi pond",
                             "Night train",           "Northern forest", "Ocean swell",   "Lava flow",    "Snowfall"};
    for (int i = 0; i < titles.size(); ++i) {
        VideoDetail v = onlinetest::catalogueVideo(QStringLiteral("video%1").arg(i));
        v.title = titles[i];
        files.addFile(QStringLiteral("cover%1.png").arg(i), makeCover(home.path(), i));
        v.imgurl = files.url(QStringLiteral("cover%1.png").arg(i));
        v.size = 48 * 1024 * 1024 + i * 1000;
        v.time = 3725000;
        v.width = 2560;
        v.height = 1440;
        v.audio = i % 2;
        page.push_back(v);
    }
    standIn.setReply(502, testsupport::ScriptedReply::encrypted(onlinetest::pageJson(1, 3, 0, "x", 30, page)));

    VideoLibraryViewController screen;
    screen.view()->setWindowTitle(QStringLiteral("Tavvel"));
    screen.view()->resize(1180, 720);
    screen.view()->move(40, 20);
    screen.view()->show();
    screen.switchTab(screen.onlineTab());
    if (!QTest::qWaitFor([&] { return screen.webLibraryViewModel()->videoCount() == int(page.size()); }, 5000))
        std::printf("the page did not come\n");
    shoot(out, QStringLiteral("online_tab"));

    standIn.setReply(502, testsupport::ScriptedReply::drop());
    screen.webLibraryViewModel()->searchByKeywords(QStringLiteral("rain"));
    if (!QTest::qWaitFor(
            [&] {
                return screen.webLibraryViewModel()->overlay() &&
                       screen.webLibraryViewModel()->overlay()->showRefreshButton;
            },
            5000))
        std::printf("no failure came\n");
    shoot(out, QStringLiteral("online_failure"));

    // Two downloads: the first keeps running slowly, the second is paused.
    const QString path = testsupport::testVideo(QStringLiteral("big.mp4"));
    files.addFile(QStringLiteral("big.mp4"), path);
    files.setSpeedLimit(200 * 1024);
    for (int i = 0; i < 2; ++i) {
        VideoDetail v = page[size_t(i)];
        v.sign = videoSign(path).value_or(QString());
        v.url = files.url(QStringLiteral("big.mp4"));
        v.size = QFileInfo(path).size();
        DownloadManager::shared().addDownload(v);
    }
    screen.switchTab(screen.downloadTab());
    QTest::qWait(1500);
    DownloadManager::shared().progressArray()[1]->pauseDownload();
    shoot(out, QStringLiteral("download_tab"));
    DownloadManager::shared().cancelAllDownloads();
    return 0;
}
