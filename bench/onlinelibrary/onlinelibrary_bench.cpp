// Paging through 50 catalogue pages of 24 videos with the online list bound to a real list
// view, against decrypting and decoding the same 50 replies alone (main-thread CPU each); and
// the main thread's CPU while two downloads report progress with the download tab shown,
// against the same downloads with the tab hidden.
#include "onlinelibrary/OnlineTestSupport.h"

#include "MainWindow/downloads/DownloadViewModel.h"
#include "MainWindow/library/VideoLibraryViewController.h"
#include "MainWindow/onlinelibrary/WebLibraryViewModel.h"
#include "service/DownloadManager.h"
#include "service/ServiceCrypto.h"
#include "service/VideoSign.h"
#include "service/WebModel.h"
#include "support/FileServing.h"
#include "views/TabTitleView.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <ctime>
#include <vector>

namespace {
constexpr int kPages = 50;
constexpr int kPerPage = 24;

double threadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

void report(const char* name, double value, const char* unit, double baseline) {
    std::printf("%s: %.3f %s (%.2fx baseline)\n", name, value, unit, baseline > 0 ? value / baseline : 0.0);
    std::fflush(stdout);
}

std::vector<QByteArray> pageBodies() {
    std::vector<QByteArray> bodies;
    for (int p = 1; p <= kPages; ++p)
        bodies.push_back(onlinetest::pageJson(p, kPages, kPerPage, QStringLiteral("p%1v").arg(p), kPages * kPerPage));
    return bodies;
}

// The same replies as they come over the wire, decrypted and decoded only.
double decodeOnlyMs(const std::vector<QByteArray>& bodies) {
    std::vector<QByteArray> wire;
    for (const QByteArray& body : bodies)
        wire.push_back(testsupport::ServiceStandIn::encryptReplyBody(body));
    const double start = threadCpuMs();
    qint64 videos = 0;
    for (const QByteArray& reply : wire) {
        const auto text = service::decryptReply(reply);
        if (const auto decoded = text ? VideoListResponse::fromJsonText(text->toUtf8()) : std::nullopt)
            videos += qint64(decoded->data.vlist.size());
    }
    const double spent = threadCpuMs() - start;
    if (videos != kPages * kPerPage)
        std::printf("decode: only %lld videos\n", static_cast<long long>(videos));
    return spent;
}

// Main-thread CPU of the whole road per page: request, reply, decoding, the model and the view.
double pagingMs(const std::vector<QByteArray>& bodies, testsupport::ServiceStandIn& standIn) {
    for (const QByteArray& body : bodies)
        standIn.queueReply(502, testsupport::ScriptedReply::encrypted(body));
    WebModel client(standIn.baseUrl(), false);
    MainParts parts = MainParts::make();
    parts.web = [&client]() -> WebModel& { return client; };
    WebLibraryViewModel model(parts);
    WQCollectionView view;
    ColumnLayout layout;
    layout.columnCount = 4;
    layout.itemHeight = 110;
    layout.footerHeight = 30;
    view.setCollectionViewLayout(&layout);
    view.resize(900, 600);
    view.show();
    model.bind(&view);
    const double start = threadCpuMs();
    model.loadFirstPage();
    for (int p = 1; p <= kPages; ++p) {
        if (!QTest::qWaitFor([&] { return model.videoCount() == p * kPerPage; }, 10000)) {
            std::printf("paging stopped at page %d\n", p);
            break;
        }
        QCoreApplication::processEvents();
        model.loadMoreIfNeeded(view.contentHeight(), view.contentHeight() - 10.0, 0.0);
    }
    const double spent = threadCpuMs() - start;
    model.unbind();
    return spent;
}

// Main-thread CPU while two downloads run to the end, with the download tab shown or not.
double downloadsMs(bool tabShown, testsupport::FileServing& files, const QString& path, const QString& sign) {
    VideoLibraryViewController screen(MainParts::make());
    screen.view()->resize(1000, 600);
    screen.view()->show();
    if (tabShown)
        screen.switchTab(screen.downloadTab());
    QTest::qWait(100);
    DownloadManager& queue = DownloadManager::shared();
    const double start = threadCpuMs();
    for (int i = 0; i < 2; ++i) {
        VideoDetail video = onlinetest::catalogueVideo(sign);
        video.url = files.url(QStringLiteral("big.mp4"));
        video.size = QFileInfo(path).size();
        queue.addDownload(video);
    }
    if (!QTest::qWaitFor([&] { return queue.progressArray().empty(); }, 60000))
        std::printf("downloads did not finish\n");
    return threadCpuMs() - start;
}
}  // namespace

int main(int argc, char** argv) {
    QTemporaryDir home;
    for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"}) {
        QDir(home.path()).mkpath(QString::fromLatin1(name));
        qputenv(name, QDir(home.path()).filePath(QString::fromLatin1(name)).toLocal8Bit());
    }
    QApplication app(argc, argv);
    testsupport::ServiceStandIn standIn;
    if (!standIn.start())
        return 1;
    qputenv("TAVVEL_SERVICE_URL", standIn.baseUrl().toUtf8());
    standIn.setReply(503, testsupport::ScriptedReply::encrypted(R"({"status":0,"info":"","data":""})"));

    const std::vector<QByteArray> bodies = pageBodies();
    const double decode = decodeOnlyMs(bodies);
    const double paging = pagingMs(bodies, standIn);
    report("online_decode_per_page", decode / kPages, "ms", decode / kPages);
    report("online_model_per_page", paging / kPages, "ms", decode / kPages);

    testsupport::FileServing files(standIn);
    const QString path = QDir(QStringLiteral(TAVVEL_TEST_VIDEOS_DIR)).filePath(QStringLiteral("big.mp4"));
    const QString sign = videoSign(path).value_or(QString());
    files.addFile(QStringLiteral("big.mp4"), path);
    files.setSpeedLimit(1024 * 1024);  // about 3 s per download, with steady progress
    const double hidden = downloadsMs(false, files, path, sign);
    const double shown = downloadsMs(true, files, path, sign);
    report("downloads_main_cpu_tab_hidden", hidden, "ms", hidden);
    report("downloads_main_cpu_tab_shown", shown, "ms", hidden);
    return 0;
}
