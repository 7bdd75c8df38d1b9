// download_kill_child <sign> <address>: restores the download list (adding the video when the
// list is empty and the library does not have it yet), runs the queue, prints "finished" once
// the video is in the library and exits. A failed item prints "error <reason>" and exits 3.
#include "service/DownloadManager.h"
#include "shared/LocalVideoDBManager.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTimer>
#include <QUrl>
#include <cstdio>

static bool inLibrary(const QString& sign) {
    const auto row = LocalVideoDBManager::shared().videoWithSign(sign);
    return row && QFileInfo(QUrl(row->url).toLocalFile()).isFile();
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3)
        return 2;
    const QString sign = args[1];
    DownloadManager& manager = DownloadManager::shared();
    if (manager.progressArray().empty() && !inLibrary(sign)) {
        VideoDetail video;
        video.id = 1;
        video.sign = sign;
        video.title = QStringLiteral("Killed and restarted");
        video.url = args[2];
        manager.addDownload(video);
    }
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (manager.progressArray().empty()) {
            manager.waitForStores();
            std::printf("finished\n");
            std::fflush(stdout);
            app.exit(0);
        } else if (manager.progressArray().front()->status == ItemStatus::error) {
            std::printf("error\n");
            std::fflush(stdout);
            app.exit(3);
        }
    });
    poll.start(10);
    return app.exec();
}
