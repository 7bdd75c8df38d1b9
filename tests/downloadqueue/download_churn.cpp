// A child for the kill test: restores the parent's download list and keeps the queue failing
// and resuming its items, so the list is rewritten again and again until the process is killed.
#include "service/DownloadManager.h"
#include "service/WebModel.h"
#include "shared/LocalVideoDBManager.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    WebModel web(WebModel::configuredBaseUrl(), /*startTimers=*/false);
    DownloadManager manager(web, LocalVideoDBManager::shared());
    QTimer churn;
    QObject::connect(&churn, &QTimer::timeout, [&manager] {
        const auto& items = manager.progressArray();
        for (size_t i = 0; i < items.size(); ++i) {
            if (items[i]->status == ItemStatus::error)
                manager.resumeDownload(static_cast<qsizetype>(i));
        }
    });
    churn.start(0);
    std::printf("churning\n");
    std::fflush(stdout);
    return app.exec();
}
