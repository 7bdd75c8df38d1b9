#pragma once
#include <QList>
#include <QUrl>
#include <functional>

#include "service/LocalLibraryModel.h"

namespace platform {
class DistributedNotificationCenter;
}  // namespace platform

// What a batch shows and does on the main thread. Every hook may be left empty.
struct ImportBatchHooks {
    // Shows the batch's progress window and returns what closes it.
    std::function<std::function<void()>()> showProgressWindow;
    // Tells the user about a file that was not imported (duplicates, unreadable files).
    std::function<void(ImportVideoStatus)> showImportResult;
    // Refreshes the local list once the batch has ended.
    std::function<void()> reload;
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

// The distributed notice that the library changed.
inline const QString updateVideoListNotification = QStringLiteral("UpdateVideoList");
}  // namespace ImportBatch
