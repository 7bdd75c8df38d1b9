#include "MainWindow/locallibrary/ImportBatch.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSemaphore>
#include <QStorageInfo>
#include <QThreadPool>
#include <cerrno>
#include <cstring>
#include <memory>

#include <sys/stat.h>
#include <unistd.h>

#include "platform/DistributedNotificationCenter.h"
#include "platform/MainThread.h"
#include "platform/NativeFileName.h"

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

// Makes `path` and its missing parents as the copy would; the error of the first level that
// fails (a file in the way is "not a directory"), or 0.
int makeFolders(const QByteArray& path) {
    for (qsizetype at = path.indexOf('/', 1);; at = path.indexOf('/', at + 1)) {
        const QByteArray level = at < 0 ? path : path.left(at);
        struct stat status {};
        if (::stat(level.constData(), &status) == 0) {
            if (!S_ISDIR(status.st_mode))
                return ENOTDIR;
        } else if (errno != ENOENT) {
            return errno;
        } else if (::mkdir(level.constData(), 0777) != 0 && errno != EEXIST) {
            return errno;
        }
        if (at < 0)
            return 0;
    }
}

// Writes a block into a new file in `folder` and makes sure it reached the disk: the error that
// stops a copy there, or 0.
int folderWriteError(const QString& folder) {
    const QByteArray path = QFile::encodeName(QDir::cleanPath(QFileInfo(folder).absoluteFilePath()));
    if (const int error = makeFolders(path))
        return error;
    QByteArray name = path + "/.tavvel-write-check-XXXXXX";
    const int fd = ::mkstemp(name.data());
    if (fd < 0)
        return errno;
    static const char block[4096] = {};
    int error = 0;
    const ssize_t written = ::write(fd, block, sizeof block);
    if (written < 0)
        error = errno;
    else if (written != ssize_t(sizeof block))
        error = ENOSPC;
    else if (::fsync(fd) != 0)
        error = errno;
    ::close(fd);
    ::unlink(name.constData());
    return error;
}
}  // namespace

ImportDiagnosis importProblemOf(const QUrl& url, const QString& libraryFolder) {
    const platform::FileByBytes source(platform::nativeFilePath(url));
    const QFileInfo info(source.path());
    QFile file(info.absoluteFilePath());
    if (!url.isLocalFile() || source.path().isEmpty() || !info.isFile() || !file.open(QIODevice::ReadOnly))
        return ImportProblem::unreadable;
    // The copy's folder, then the one holding it (the database and the thumbnails).
    for (const QString& folder : {libraryFolder, QFileInfo(libraryFolder).absolutePath()}) {
        const int error = folderWriteError(folder);
        if (error == ENOSPC || error == EDQUOT)
            return ImportProblem::diskFull;
        if (error != 0)
            return {ImportProblem::unwritable, QDir::toNativeSeparators(folder),
                    QString::fromLocal8Bit(std::strerror(error))};
    }
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
                    const ImportDiagnosis problem = status == ImportVideoStatus::failure
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

void ImportBatch::runAfterBatches(std::function<void()> work) {
    importQueue().start(std::move(work));
}
