#include "MainWindow/locallibrary/ImportBatch.h"

#include <QFile>
#include <QFileInfo>
#include <QSemaphore>
#include <QStorageInfo>
#include <QThreadPool>
#include <memory>

#include "platform/DistributedNotificationCenter.h"
#include "platform/MainThread.h"

namespace {
// The one serial worker of every batch. Never destroyed: a batch still waiting for its importer
// when the process ends must not hold up the exit.
QThreadPool& importQueue() {
    static QThreadPool* const queue = [] {
        auto* pool = new QThreadPool;
        pool->setObjectName(QStringLiteral("importFromDrag"));
        pool->setMaxThreadCount(1);
        return pool;
    }();
    return *queue;
}

// Main-thread state of one batch.
struct BatchWindow {
    ImportBatchHooks hooks;
    std::function<void()> closeProgressWindow;
};
}  // namespace

ImportProblem importProblemOf(const QUrl& url, const QString& libraryFolder) {
    const QFileInfo info(url.toLocalFile());
    QFile file(info.absoluteFilePath());
    if (!url.isLocalFile() || !info.isFile() || !file.open(QIODevice::ReadOnly))
        return ImportProblem::unreadable;
    const QStorageInfo disk(libraryFolder);
    if (disk.isValid() && disk.bytesAvailable() >= 0 && disk.bytesAvailable() < info.size())
        return ImportProblem::diskFull;
    return ImportProblem::notVideo;
}

void ImportBatch::start(const QList<QUrl>& urls, ImportBatchHooks hooks, std::function<void()> completion,
                        LocalLibraryModel& importer, platform::DistributedNotificationCenter& notices) {
    LocalLibraryModel* model = &importer;
    platform::DistributedNotificationCenter* distributed = &notices;
    auto window = std::make_shared<BatchWindow>();
    window->hooks = std::move(hooks);
    platform::runOnMainThread([window] {
        if (window->hooks.showProgressWindow)
            window->closeProgressWindow = window->hooks.showProgressWindow();
    });

    importQueue().start([urls, window, completion = std::move(completion), model, distributed]() mutable {
        // Value 1: each wait before a file passes only once the file before it has reported.
        auto turn = std::make_shared<QSemaphore>(1);
        for (const QUrl& url : urls) {
            turn->acquire();
            model->importVideo(url, true, [turn, window, url](const QString&, ImportVideoStatus status) {
                // The alert is queued before the next step may go on, so every alert of a batch
                // comes before its end, whatever thread this answer arrives on.
                const bool fine = status == ImportVideoStatus::complete ||
                                  (status == ImportVideoStatus::isExist && window->hooks.existingIsFine);
                if (!fine) {
                    // Looked at here, on the batch's worker: the file and the disk may be slow.
                    const ImportProblem problem = status == ImportVideoStatus::failure
                                                      ? importProblemOf(
                                                            url,
                                                            LocalLibraryModel::downloadVideoDirectory().toLocalFile())
                                                      : ImportProblem::none;
                    platform::runOnMainThread([window, status, url, problem] {
                        if (window->hooks.showImportProblem)
                            window->hooks.showImportProblem(status, url, problem);
                        else if (window->hooks.showImportResult)
                            window->hooks.showImportResult(status);
                    });
                }
                turn->release();
            });
        }
        turn->acquire();  // the last file's report
        // The batch's state goes back to the main thread with its last use there.
        platform::runOnMainThread([window = std::move(window)] {
            if (window->closeProgressWindow)
                window->closeProgressWindow();
            if (window->hooks.reload)
                window->hooks.reload();
        });
        if (completion)
            completion();
        platform::runOnMainThread([distributed] { distributed->post(ImportBatch::updateVideoListNotification); });
    });
}
