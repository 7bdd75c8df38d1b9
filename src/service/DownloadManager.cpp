#include "service/DownloadManager.h"

#include "platform/DistributedNotificationCenter.h"
#include "platform/Log.h"
#include "platform/MainThread.h"
#include "platform/WholeFile.h"
#include "platform/NotificationCenter.h"
#include "service/DownloadPaths.h"
#include "service/LibraryFiles.h"
#include "service/VideoSign.h"
#include "service/WebModel.h"
#include "shared/LocalVideoDBManager.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace {
// Renames within one file system; across file systems copies beside the target and renames,
// so the library never holds half a file under the final name. `held` holds what ends at `to`.
bool moveReplacing(const QString& from, const QString& to, libraryfiles::Held& held) {
    namespace fs = std::filesystem;
    const fs::path source(QFile::encodeName(from).toStdString());
    const fs::path target(QFile::encodeName(to).toStdString());
    std::error_code ec;
    fs::rename(source, target, ec);
    if (!ec)
        return true;
    if (ec != std::errc::cross_device_link)
        return false;
    const fs::path temporary(target.string() + ".moving");
    fs::copy_file(source, temporary, fs::copy_options::overwrite_existing, ec);
    if (!ec) {
        held = libraryfiles::hold(QFile::decodeName(temporary.c_str()));
        fs::rename(temporary, target, ec);
    }
    if (ec) {
        fs::remove(temporary, ec);
        return false;
    }
    fs::remove(source, ec);
    return true;
}
}  // namespace

namespace {
DownloadManager* sharedInstance = nullptr;  // main thread only
}  // namespace

DownloadManager& DownloadManager::shared() {
    if (!sharedInstance)
        sharedInstance = new DownloadManager(WebModel::shared(),
                                             LocalVideoDBManager::shared());  // lives for the whole process
    return *sharedInstance;
}

DownloadManager* DownloadManager::existing() {
    return sharedInstance;
}

DownloadManager::DownloadManager(WebModel& web, LocalVideoDBManager& database, QObject* parent)
    : QObject(parent), web_(web), database_(database) {
    storeDownloadQueue_.setObjectName(QStringLiteral("StoreDownloadItem"));
    storeDownloadQueue_.setMaxThreadCount(1);
    verifyQueue_.setObjectName(QStringLiteral("successed"));
    verifyQueue_.setMaxThreadCount(2);
    loadDownloadItems();
    for (const ItemPtr& item : progressArray_)
        enqueue(item);
}

DownloadManager::~DownloadManager() {
    verifyQueue_.waitForDone();
    storeDownloadQueue_.waitForDone();
    waiting_.clear();
    running_.clear();
    for (const ItemPtr& item : progressArray_)
        item->statusChanged = nullptr;
    progressArray_.clear();
}

void DownloadManager::loadDownloadItems() {
    std::vector<DownloadStore> stored;
    if (const auto bytes = readSmallFile(downloadListPath()))
        stored = decodeDownloadList(*bytes);
    for (const DownloadStore& record : stored)
        progressArray_.push_back(makeItem(record.videoInfo, record.cacheURL));
    sweepUnreferencedResumeFiles();
}

void DownloadManager::sweepUnreferencedResumeFiles() {
    // A kill between writing a descriptor and the list that names it leaves a stray one.
    QStringList referenced;
    for (const ItemPtr& item : progressArray_) {
        if (const auto descriptor = ownResumeFile(item->cacheURL))
            referenced.append(QFileInfo(*descriptor).fileName());
        if (const auto resume = readResumeFile(item->cacheURL))
            referenced.append(QFileInfo(resume->partialPath).fileName());
    }
    const QDir caches(downloadCachesDirectoryPath());
    // The directory is shared: a descriptor is known by its name and by what it holds.
    const auto holdsDescriptor = [&caches](const QString& name) {
        const auto bytes = readSmallFile(caches.filePath(name), 64 * 1024);
        return bytes && decodeResumeData(*bytes).has_value();
    };
    const auto isDescriptor = [&](const QString& name) { return isResumeFileName(name) && holdsDescriptor(name); };
    // A descriptor's write cut short part-way holds the start of one, or nothing yet.
    const QByteArray descriptorStart = encodeResumeData({}).left(9);
    const auto beginsDescriptor = [&](const QString& name) {
        const auto bytes = readSmallFile(caches.filePath(name), 64 * 1024);
        return bytes && (bytes->startsWith(descriptorStart) || descriptorStart.startsWith(*bytes));
    };
    // A write of the list or of a descriptor cut short by a kill, after its bytes were written.
    const QString listName = QFileInfo(downloadListPath()).fileName();
    const auto isLeftover = [&](const QString& name) {
        const QString of = name.left(name.lastIndexOf(u'.'));
        return platform::isWholeFileLeftover(name, listName) ||
               (isResumeFileName(of) && platform::isWholeFileLeftover(name, of) && beginsDescriptor(name));
    };
    for (const QString& name : caches.entryList(QDir::Files)) {
        if (!referenced.contains(name) && (isPartialFileName(name) || isDescriptor(name) || isLeftover(name)))
            QFile::remove(caches.filePath(name));
    }
}

DownloadManager::ItemPtr DownloadManager::makeItem(const VideoDetail& videoInfo, const std::optional<QUrl>& cacheURL) {
    auto item = std::make_shared<DownloadItem>(videoInfo, cacheURL);
    const std::weak_ptr<DownloadItem> weak = item;
    const QPointer<DownloadManager> self(this);
    // The handler refers to the item without owning it: a deleted item hears nothing.
    item->addCompletionHandler([self, weak](const DownloadResponse& response) {
        if (self)
            self->downloadCompleted(weak, response);
    });
    DownloadItem* raw = item.get();
    connect(raw, &DownloadItem::statusDidChange, this,
            [this, raw](ItemStatus old, ItemStatus now) { emit downloadStatusChanged(raw, old, now); });
    connect(raw, &DownloadItem::progressDidChange, this,
            [this, raw](const DownloadProgress& progress) { emit downloadProgressed(raw, progress); });
    item->resumable = [self, weak](const ResumeData& data, const QString& partialPath) {
        const ItemPtr listed = weak.lock();
        if (self && listed && self->isListed(listed.get()))
            self->saveDescriptor(listed, data, partialPath);
    };
    return item;
}

// ---- the queue of two ----

void DownloadManager::enqueue(const ItemPtr& item) {
    waiting_.push_back(item);
    pump();
}

void DownloadManager::pump() {
    if (pumping_ || cancelling_)
        return;  // the outer call goes on with the loop
    pumping_ = true;
    while (static_cast<int>(running_.size()) < kMaxConcurrentDownloads && !waiting_.empty()) {
        const ItemPtr item = waiting_.front().lock();
        waiting_.erase(waiting_.begin());
        // An operation whose item is gone or not waiting ends at once, without a slot.
        if (!item || !isListed(item.get()) || item->status != ItemStatus::wait)
            continue;
        const DownloadItem* raw = item.get();
        if (std::find(running_.begin(), running_.end(), raw) == running_.end())
            running_.push_back(raw);
        const QPointer<DownloadManager> self(this);
        item->startDownload([self, raw](ItemStatus old, ItemStatus now) {
            if (self && old == ItemStatus::downloading && static_cast<int>(now) >= static_cast<int>(ItemStatus::pause))
                self->releaseSlot(raw);
        });
    }
    pumping_ = false;
}

void DownloadManager::releaseSlot(const DownloadItem* item) {
    const auto it = std::find(running_.begin(), running_.end(), item);
    if (it == running_.end())
        return;
    running_.erase(it);
    pump();
}

bool DownloadManager::isListed(const DownloadItem* item) const {
    return findListed(item) != progressArray_.end();
}

std::vector<DownloadManager::ItemPtr>::const_iterator DownloadManager::findListed(const DownloadItem* item) const {
    return std::find_if(progressArray_.begin(), progressArray_.end(),
                        [item](const ItemPtr& candidate) { return candidate.get() == item; });
}

// ---- operations of the list ----

void DownloadManager::addDownload(const VideoDetail& videoInfo) {
    const ItemPtr item = makeItem(videoInfo, std::nullopt);
    progressArray_.push_back(item);
    storeDownloadItemsAsync();
    emit downloadAdded(item.get());
    enqueue(item);
    postReload(videoInfo.sign);
}

void DownloadManager::cancelAllDownloads() {
    cancelling_ = true;
    const std::vector<ItemPtr> items = progressArray_;
    for (const ItemPtr& item : items) {
        if (const auto response = item->cancelNow())
            saveResumeData(item, *response);
        if (item->status == ItemStatus::downloading)
            item->setStatus(ItemStatus::error);  // frees its slot
        else if (item->status == ItemStatus::wait)
            item->setStatus(ItemStatus::pause);
    }
    waiting_.clear();
    running_.clear();  // also an item whose received file is still being verified
    cancelling_ = false;
    writeListNow();
}

void DownloadManager::removeDownload(const DownloadItem* item) {
    const auto it = findListed(item);
    if (it == progressArray_.end())
        return;
    const ItemPtr removed = *it;
    progressArray_.erase(it);
    if (!removed->fate()->entered)
        removed->fate()->withdrawn = true;
    removed->discardTransfer();
    dropResumeFiles(*removed);
    storeDownloadItemsAsync();
    emit downloadRemoved(removed.get());
    releaseSlot(removed.get());
    // The caller may be one of the item's own handlers: release it once they have returned.
    QMetaObject::invokeMethod(
        this, [removed] {}, Qt::QueuedConnection);
}

void DownloadManager::resumeDownload(qsizetype at) {
    if (at < 0 || at >= static_cast<qsizetype>(progressArray_.size()))
        return;
    const ItemPtr item = progressArray_[static_cast<size_t>(at)];
    item->setStatus(ItemStatus::wait);
    enqueue(item);
}

void DownloadManager::resumeItem(const DownloadItem* item) {
    const auto it = findListed(item);
    if (it != progressArray_.end())
        resumeDownload(it - progressArray_.begin());
}

bool DownloadManager::isDownloading(const QString& sign) const {
    return std::any_of(progressArray_.begin(), progressArray_.end(),
                       [&sign](const ItemPtr& item) { return item->videoInfo.sign == sign; });
}

void DownloadManager::postReload(const std::optional<QString>& sign) {
    QVariantMap userInfo;
    if (sign)
        userInfo.insert(QStringLiteral("sign"), *sign);
    platform::NotificationCenter::defaultCenter().post(reloadNotificationName(), userInfo);
}

// ---- persistence ----

void DownloadManager::storeDownloadItemsAsync() {
    // The snapshot is taken here, on the main thread, so the writer never sees a list in change.
    std::vector<DownloadStore> snapshot;
    snapshot.reserve(progressArray_.size());
    for (const ItemPtr& item : progressArray_)
        snapshot.push_back(DownloadStore{item->videoInfo, item->cacheURL});
    const QByteArray data = encodeDownloadList(snapshot);
    const QString path = downloadListPath();
    storeDownloadQueue_.start([data, path] { platform::writeWholeFile(path, data); });
}

void DownloadManager::waitForStores() {
    storeDownloadQueue_.waitForDone();
}

void DownloadManager::writeListNow() {
    storeDownloadItemsAsync();
    waitForStores();
}

void DownloadManager::deleteResumeFiles(const std::optional<QUrl>& cacheURL, const QString& keepPartial) {
    const auto descriptor = ownResumeFile(cacheURL);
    if (!descriptor)
        return;
    if (const auto resume = readResumeFile(cacheURL)) {
        const QString partial = QFileInfo(resume->partialPath).absoluteFilePath();
        if (keepPartial.isEmpty() || partial != QFileInfo(keepPartial).absoluteFilePath())
            QFile::remove(partial);
    }
    QFile::remove(*descriptor);
}

void DownloadManager::dropResumeFiles(DownloadItem& item) {
    deleteResumeFiles(item.cacheURL);
    item.cacheURL.reset();
}

void DownloadManager::saveResumeData(const ItemPtr& item, const DownloadResponse& response) {
    const QString descriptor = unusedRandomFilePath(downloadCachesDirectoryPath());
    if (response.resumeData && !platform::writeWholeFile(descriptor, encodeResumeData(*response.resumeData))) {
        // Without a descriptor the partial data can never be used again.
        if (!response.partialPath.isEmpty())
            QFile::remove(response.partialPath);
        dropResumeFiles(*item);
        return;
    }
    deleteResumeFiles(item->cacheURL, response.resumeData ? response.partialPath : QString());
    // Also without data: the next start then finds nothing to read and begins afresh.
    item->cacheURL = QUrl::fromLocalFile(descriptor);
}

void DownloadManager::saveDescriptor(const ItemPtr& item, const ResumeData& data, const QString& partialPath) {
    const QString descriptor = unusedRandomFilePath(downloadCachesDirectoryPath());
    if (!platform::writeWholeFile(descriptor, encodeResumeData(data)))
        return;
    deleteResumeFiles(item->cacheURL, partialPath);
    item->cacheURL = QUrl::fromLocalFile(descriptor);
    storeDownloadItemsAsync();
}

// ---- the end of a transfer ----

void DownloadManager::downloadCompleted(const std::weak_ptr<DownloadItem>& weak, const DownloadResponse& response) {
    const ItemPtr item = weak.lock();
    const bool current = item && isListed(item.get()) && response.transfer == item->currentTransfer();
    if (!current) {
        // A late answer of a removed item or of an earlier transfer: only its own files go.
        const QString inUse = item ? item->currentPartialPath() : QString();
        if (!response.partialPath.isEmpty() && response.partialPath != inUse)
            QFile::remove(response.partialPath);
        return;
    }
    if (response.success && response.fileURL && QFileInfo(response.fileURL->toLocalFile()).isFile()) {
        if (response.resumeData)
            saveDescriptor(item, *response.resumeData, response.partialPath);
        verifyDownloadedFile(item, response);
        return;
    }
    handleFailure(item, response);
}

void DownloadManager::handleFailure(const ItemPtr& item, const DownloadResponse& response) {
    if (response.success && !response.partialPath.isEmpty())
        QFile::remove(response.partialPath);  // a "success" without a usable file
    saveResumeData(item, response);
    storeDownloadItemsAsync();
    if (item->status == ItemStatus::downloading) {
        item->failure = response.failure;
        item->setStatus(ItemStatus::error);
    }
    postReload(std::nullopt);
}

void DownloadManager::verifyDownloadedFile(const ItemPtr& item, const DownloadResponse& response) {
    const QString path = response.fileURL->toLocalFile();
    const QString sign = item->videoInfo.sign;
    const quint64 transfer = response.transfer;
    const std::weak_ptr<DownloadItem> weak = item;
    const QPointer<DownloadManager> self(this);
    verifyQueue_.start([self, weak, transfer, path, sign] {
        const bool matched = videoSign(path) == sign;
        platform::runOnMainThread([self, weak, transfer, path, matched] {
            if (self)
                self->verificationDone(weak, transfer, path, matched);
        });
    });
}

void DownloadManager::waitForVerifications() {
    verifyQueue_.waitForDone();
    QCoreApplication::sendPostedEvents();
}

void DownloadManager::verificationDone(const std::weak_ptr<DownloadItem>& weak, quint64 transfer,
                                       const QString& partialPath, bool matched) {
    const ItemPtr item = weak.lock();
    if (!item || !isListed(item.get()) || item->currentTransfer() != transfer || item->isTransferring()) {
        QFile::remove(partialPath);  // removed or superseded: never enters the library
        return;
    }
    if (!matched) {
        // Only the partial file goes; a library file of the same name is not touched.
        QFile::remove(partialPath);
        failReceivedFile(*item, DownloadFailure::verification);
        return;
    }
    finishDownload(item, partialPath);
}

void DownloadManager::failReceivedFile(DownloadItem& item, DownloadFailure failure) {
    // The received bytes are no use for a resume: the next start is a fresh transfer.
    dropResumeFiles(item);
    item.failure = failure;
    item.setStatus(ItemStatus::error);
    storeDownloadItemsAsync();
    postReload(std::nullopt);
}

void DownloadManager::finishDownload(const ItemPtr& item, const QString& partialPath) {
    const QString destination = item->downloadDestination();
    VideoDetail record = item->videoInfo;
    record.url = QUrl::fromLocalFile(destination).toString(QUrl::FullyEncoded);
    const quint64 transfer = item->currentTransfer();
    const std::weak_ptr<DownloadItem> weak = item;
    const DownloadItem::FatePtr fate = item->fate();
    const QPointer<DownloadManager> self(this);
    // The database may wait for the other program's lock: never on the main thread.
    LocalVideoDBManager* database = &database_;
    verifyQueue_.start([self, database, weak, transfer, partialPath, destination, record, fate] {
        FinishResult result;
        if (fate->withdrawn || fate->entered) {
            QFile::remove(partialPath);
            result.outcome = fate->withdrawn ? FinishResult::withdrawn : FinishResult::settled;
        } else if (const auto row = database->videoWithSign(record.sign);
                   row && QFileInfo(QUrl(row->url).toLocalFile()).isFile()) {
            // One file per sign: the library has this video already.
            QFile::remove(partialPath);
            result.outcome = FinishResult::alreadyInLibrary;
        } else {
            // Held from before it has its name until its row is in: "Clear All", here or in
            // another program, leaves it alone meanwhile.
            libraryfiles::Held held = libraryfiles::hold(partialPath);
            result.fileIsNew = !QFileInfo::exists(destination);
            if (!moveReplacing(partialPath, destination, held)) {
                QFile::remove(partialPath);
                result.outcome = FinishResult::moveFailed;
            } else if (row) {
                // The row's file is gone: the row names the new one.
                result.outcome = database->updateVideoURL(record.sign, record.url) ? FinishResult::repaired
                                                                                   : FinishResult::insertFailed;
                if (result.outcome == FinishResult::repaired && fate->withdrawn) {
                    undoFinish(*database, destination, record.sign, result);
                    result.outcome = FinishResult::withdrawn;
                }
            } else {
                using Insert = LocalVideoDBManager::InsertResult;
                const Insert inserted = database->insertVideo(record);
                // A row of that sign already there counts as in; the desktop player never inserts.
                result.rowIsNew = inserted == Insert::inserted;
                if (inserted != Insert::inserted && inserted != Insert::alreadyThere) {
                    result.outcome = FinishResult::insertFailed;
                } else if (fate->withdrawn) {
                    // Removed while the row went in (the insert may wait seconds for the lock).
                    undoFinish(*database, destination, record.sign, result);
                    result.outcome = FinishResult::withdrawn;
                }
            }
        }
        platform::runOnMainThread([self, weak, transfer, destination, record, fate, result] {
            if (self)
                self->finishDone(weak, transfer, destination, record, fate, result);
        });
    });
}

void DownloadManager::undoFinish(LocalVideoDBManager& database, const QString& destination, const QString& sign,
                                 const FinishResult& result) {
    if (result.rowIsNew) {
        // The delete, too, may meet the other program's lock: try a few times.
        database.deleteVideoWithSign(sign);
        for (int attempt = 0; attempt < 4 && database.videoWithSign(sign); ++attempt)
            database.deleteVideoWithSign(sign);
    }
    // Without a row of its own before, nothing in the library named the file at the destination.
    if (result.fileIsNew || result.rowIsNew)
        QFile::remove(destination);
}

void DownloadManager::finishDone(const std::weak_ptr<DownloadItem>& weak, quint64 transfer, const QString& destination,
                                 const VideoDetail& record, const DownloadItem::FatePtr& fate, FinishResult result) {
    if (result.outcome == FinishResult::withdrawn || result.outcome == FinishResult::settled)
        return;  // nothing was added by this finish, nothing is told
    if (fate->withdrawn) {
        // Removed after the worker's last look. Removal and this step both run on the main
        // thread, so this is the last word: take the row and the file back, tell nobody.
        if (result.outcome != FinishResult::moveFailed)
            verifyQueue_.start([database = &database_, destination, sign = record.sign, result] {
                undoFinish(*database, destination, sign, result);
            });
        return;
    }
    const auto announce = [this, &fate, &record] {
        // The row is in: the library and the desktop player hear of it only now.
        fate->announced = true;
        reportFinishedDownload(record.id);
        platform::DistributedNotificationCenter::defaultCenter().post(updateVideoListName());
    };
    if (fate->entered) {
        // An earlier transfer of this item already settled it. When that one only found the row
        // this finish put in (both waited for the lock and its answer came first), nobody was
        // told yet.
        if ((result.rowIsNew || result.outcome == FinishResult::repaired) && !fate->announced)
            announce();
        return;
    }
    const ItemPtr item = weak.lock();
    const bool listed = item && isListed(item.get()) && item->currentTransfer() == transfer;
    const bool entered = result.outcome == FinishResult::inserted || result.outcome == FinishResult::repaired;
    if (!entered && result.outcome != FinishResult::alreadyInLibrary) {
        if (result.outcome == FinishResult::moveFailed)
            platform::logLine(QStringLiteral("move error ") + destination);
        // A busy or broken database keeps the item, as `error`, with its file in the library
        // folder, and nothing is announced.
        if (listed)
            failReceivedFile(*item, DownloadFailure::disk);  // not moved, or its row not written
        return;
    }
    // The video is in the library even when the item was paused and started again meanwhile:
    // that newer transfer has nothing left to do.
    fate->entered = true;
    if (item && isListed(item.get())) {
        if (item->status == ItemStatus::downloading)
            item->setStatus(ItemStatus::finish);
        removeDownload(item.get());
    }
    postReload(std::nullopt);
    if (!entered)
        return;  // the library did not change
    announce();
}

void DownloadManager::reportFinishedDownload(qint64 videoId) {
    web_.reportDownloadStatus(videoId, 1);
}
