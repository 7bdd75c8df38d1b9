#pragma once
#include <QList>
#include <QString>
#include <QUrl>
#include <functional>
#include <utility>

#include "service/LocalLibraryModel.h"

namespace platform {
class DistributedNotificationCenter;
}  // namespace platform

// Why a file did not come in, as far as the file and the disk tell.
enum class ImportProblem {
    none,        // in the library already, or imported
    notVideo,    // readable, but no video the library can take
    unreadable,  // missing, a folder, or refused to be read
    diskFull,    // the library's disk has less room than the file needs
    unwritable,  // the library's folder cannot be made or written (read-only, immutable, a file in the way)
};

// What was found out about a file that failed to import.
struct ImportDiagnosis {
    ImportDiagnosis(ImportProblem problem = ImportProblem::notVideo, QString folder = {}, QString reason = {})
        : problem(problem), folder(std::move(folder)), reason(std::move(reason)) {}
    ImportProblem problem;
    QString folder;  // unwritable: the folder that refused
    QString reason;  // unwritable: the system's words for it
};

// The problem a file that failed to import shows: looked at after the failure. A small file is
// written (and removed) in `libraryFolder` and in the folder holding it (the database's), so a
// folder that cannot take the copy is told from a file that is no video.
ImportDiagnosis importProblemOf(const QUrl& url, const QString& libraryFolder);

// What a batch shows and does on the main thread. Every hook may be left empty.
struct ImportBatchHooks {
    // Shows the batch's progress window and returns what closes it.
    std::function<std::function<void()>()> showProgressWindow;
    // Tells the user about a file that was not imported (duplicates, unreadable files).
    std::function<void(ImportVideoStatus)> showImportResult;
    // The same with the file and what went wrong; used instead of the above when set.
    std::function<void(ImportVideoStatus, const QUrl& file, const ImportDiagnosis&)> showImportProblem;
    // Refreshes the local list once the batch has ended.
    std::function<void()> reload;
    // A file already in the library is no failure to tell about (the first-run samples, which a
    // lost settings file imports again).
    bool existingIsFine = false;
};

// One batch of local files into the library.
//
// Batches run one after another on one serial worker ("importFromDrag"), and within a batch one
// file at a time: the worker hands a file to the importer and waits until that file's completion
// has come, on whatever thread and however late it arrives. So two batches never race on the same
// file (a repeated file is reported as already there instead of being copied twice). The calling
// (main) thread never waits: start() returns at once.
//
// On the main thread, in this order: the progress window on the next turn, an alert per file
// that was not imported, then at the end the window closed and the list reloaded, the batch's
// completion (called on the worker, before the next step), and "UpdateVideoList" on the session
// bus so the desktop player rebuilds its play list. An empty batch goes the same way.
namespace ImportBatch {
// `importer` takes the files; "UpdateVideoList" is posted on `notices`.
void start(const QList<QUrl>& urls, ImportBatchHooks hooks, std::function<void()> completion,
           LocalLibraryModel& importer, platform::DistributedNotificationCenter& notices);

// Runs `work` on the batches' serial worker, after every batch started before it: a removal
// then never meets a batch halfway through the same folder. Returns at once.
void runAfterBatches(std::function<void()> work);

// The distributed notice that the library changed.
inline const QString updateVideoListNotification = QStringLiteral("UpdateVideoList");
}  // namespace ImportBatch
