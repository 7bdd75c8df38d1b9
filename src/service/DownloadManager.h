#pragma once
#include "platform/DistributedNotificationCenter.h"
#include "service/DownloadItem.h"
#include "shared/VideoDetail.h"

#include <QObject>
#include <QString>
#include <QThreadPool>
#include <memory>
#include <vector>

class LocalVideoDBManager;
class WebModel;

// The main program's download queue: the pending downloads in order, at most two transfers at
// a time, the list persisted in "downloadInfo.bat", verification by sign and the finish step
// that adds the video to the library.
//
// Everything runs on the main thread except writing the list (one serial writer thread) and
// computing a finished file's sign (a worker). The "operation" of an item is a place in a FIFO;
// it holds one of the two slots from its start until the item leaves `downloading`.
class DownloadManager : public QObject {
    Q_OBJECT
public:
    // The instance, created and restored on first use (on the main thread).
    static DownloadManager& shared();
    // The instance when `shared()` has made it, else null (quitting must not make one).
    static DownloadManager* existing();

    // Restores the persisted list and queues every item (tests make several in turn, as
    // successive launches would). Finished downloads are reported through `web` and stored in
    // `database`; both must outlive the manager.
    DownloadManager(WebModel& web, LocalVideoDBManager& database, QObject* parent = nullptr);
    ~DownloadManager() override;

    using ItemPtr = std::shared_ptr<DownloadItem>;
    const std::vector<ItemPtr>& progressArray() const { return progressArray_; }

    // Appends a new item, persists the list, queues it and posts the reload notice with its sign.
    void addDownload(const VideoDetail& videoInfo);
    // Ends every running transfer now as failed (`error`, its slot freed), saves its resume data
    // and writes the list before returning, so a quit right after loses nothing. Items still
    // waiting are paused rather than started. The programs call it when they are about to quit.
    void cancelAllDownloads();
    // Removes that very item (identity), ends its transfer, deletes its resume and partial
    // files and persists the list. An item not in the list changes nothing.
    void removeDownload(const DownloadItem* item);
    // `wait` (told to the item's status closure) and queued again; an index outside the list
    // does nothing.
    void resumeDownload(qsizetype at);
    // The same for that very item, wherever it stands in the list now; one not listed does nothing.
    void resumeItem(const DownloadItem* item);
    // True when an item of the list, in any status, has this sign.
    bool isDownloading(const QString& sign) const;

    // Takes a snapshot of the list now and writes it on the writer thread.
    void storeDownloadItemsAsync();
    // Waits until every requested write is on disk.
    void waitForStores();
    // Waits for running verifications and delivers their results (tests).
    void waitForVerifications();

    // Transfers holding a slot now.
    int runningCount() const { return static_cast<int>(running_.size()); }
    static constexpr int kMaxConcurrentDownloads = 2;

    static QString reloadNotificationName() { return QStringLiteral("reloadCollectionView.Notification"); }
    static QString updateVideoListName() { return QString::fromLatin1(platform::kUpdateVideoListNotification); }

signals:
    // A view follows the list through these, without polling. `downloadAdded` comes once the
    // item is in `progressArray`, `downloadRemoved` once it has left it.
    void downloadAdded(DownloadItem* item);
    void downloadRemoved(const DownloadItem* item);
    void downloadStatusChanged(DownloadItem* item, ItemStatus old, ItemStatus now);
    void downloadProgressed(DownloadItem* item, const DownloadProgress& progress);

private:
    void loadDownloadItems();
    // Deletes partial files and resume descriptors that no listed item refers to.
    void sweepUnreferencedResumeFiles();
    ItemPtr makeItem(const VideoDetail& videoInfo, const std::optional<QUrl>& cacheURL);
    void enqueue(const ItemPtr& item);
    void pump();
    void releaseSlot(const DownloadItem* item);
    bool isListed(const DownloadItem* item) const;
    std::vector<ItemPtr>::const_iterator findListed(const DownloadItem* item) const;

    void downloadCompleted(const std::weak_ptr<DownloadItem>& weak, const DownloadResponse& response);
    void handleFailure(const ItemPtr& item, const DownloadResponse& response);
    // Writes the resume descriptor and points `cacheURL` at it (deleting the one it replaces).
    void saveResumeData(const ItemPtr& item, const DownloadResponse& response);
    // A descriptor for the partial a running transfer writes, or for the whole received file
    // before its verification (a quit during it then verifies that file again at the next start
    // instead of fetching it again). It replaces the item's earlier one; when it cannot be
    // written the earlier one stays.
    void saveDescriptor(const ItemPtr& item, const ResumeData& data, const QString& partialPath);
    void verifyDownloadedFile(const ItemPtr& item, const DownloadResponse& response);
    void verificationDone(const std::weak_ptr<DownloadItem>& weak, quint64 transfer, const QString& partialPath,
                          bool matched);
    void failReceivedFile(DownloadItem& item, DownloadFailure failure);
    // What a finish added to the library, so that a removal that overtook it can take it back.
    struct FinishResult {
        // `repaired`: a row of the sign named a file that was gone and now names this one;
        // `alreadyInLibrary`: the row's own file is there, the new copy was deleted.
        enum Outcome {
            inserted,
            repaired,
            alreadyInLibrary,
            moveFailed,
            insertFailed,
            withdrawn,
            settled
        } outcome = inserted;
        bool fileIsNew = false;  // nothing was at the destination before the move
        bool rowIsNew = false;   // this finish's insert added the row (none of that sign was there)
    };
    void finishDownload(const ItemPtr& item, const QString& partialPath);
    void finishDone(const std::weak_ptr<DownloadItem>& weak, quint64 transfer, const QString& destination,
                    const VideoDetail& record, const DownloadItem::FatePtr& fate, FinishResult result);
    // Deletes what a withdrawn finish added: its row and its file, only when it made them.
    static void undoFinish(LocalVideoDBManager& database, const QString& destination, const QString& sign,
                           const FinishResult& result);
    void deleteResumeFiles(const std::optional<QUrl>& cacheURL, const QString& keepPartial = QString());
    // Deletes the item's resume files and forgets them.
    void dropResumeFiles(DownloadItem& item);
    void postReload(const std::optional<QString>& sign);
    void reportFinishedDownload(qint64 videoId);
    void writeListNow();

    WebModel& web_;
    LocalVideoDBManager& database_;
    std::vector<ItemPtr> progressArray_;
    std::vector<std::weak_ptr<DownloadItem>> waiting_;  // queued operations, in order
    std::vector<const DownloadItem*> running_;          // items holding a slot
    QThreadPool storeDownloadQueue_;                    // "StoreDownloadItem": one thread, in order
    QThreadPool verifyQueue_;                           // "successed": signs, moves, inserts
    bool pumping_ = false;
    bool cancelling_ = false;  // no transfer starts while every transfer is being ended
};
