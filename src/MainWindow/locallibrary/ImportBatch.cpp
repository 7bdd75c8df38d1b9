#include "MainWindow/locallibrary/ImportBatch.h"

#include <QSemaphore>
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
            model->importVideo(url, true, [turn, window](const QString&, ImportVideoStatus status) {
                // The alert is queued before the next step may go on, so every alert of a batch
                // comes before its end, whatever thread this answer arrives on.
                if (status != ImportVideoStatus::complete) {
                    platform::runOnMainThread([window, status] {
                        if (window->hooks.showImportResult)
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
