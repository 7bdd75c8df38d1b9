#pragma once
#include "service/DownloadStore.h"
#include "shared/VideoDetail.h"

#include <QFile>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QNetworkAccessManager;
class QNetworkReply;

enum class ItemStatus : int { wait = 0, downloading = 1, pause = 2, error = 3, finish = 4 };

// What made a download fail, for the words its row shows.
enum class DownloadFailure {
    network,       // no answer, a broken connection, an error answer
    refused,       // an address that is not a web address
    disk,          // the received file could not be written, moved or entered (a full disk, no rights)
    tooLarge,      // the server sent (or announced) more than the record's size: not the video
    verification,  // the received file is not the video it should be
};

// A status only for the values 0 to 4.
std::optional<ItemStatus> itemStatusFromInt(qint64 value);

// Progress of one transfer, counting the bytes kept from before an interruption.
struct DownloadProgress {
    qint64 completedUnitCount = 0;
    qint64 totalUnitCount = -1;  // -1 while unknown
    double fractionCompleted() const {
        return totalUnitCount > 0 ? double(completedUnitCount) / double(totalUnitCount) : 0.0;
    }
};

// How a transfer ended, as the completion handlers see it.
struct DownloadResponse {
    quint64 transfer = 0;  // number of the transfer that answers
    bool success = false;
    std::optional<QUrl> fileURL;  // success: the received file (a partial file, not yet verified)
    // How to continue, when the bytes are worth keeping; after a success it names the whole file,
    // so a quit during the verification resumes from it instead of fetching it again.
    std::optional<ResumeData> resumeData;
    QString partialPath;  // the transfer's partial file, kept only while it is worth something
    int httpStatus = 0;   // 0 when no reply arrived
    QString errorString;
    DownloadFailure failure = DownloadFailure::network;
};

// One online video on its way into the library. Lives on the main thread: every field is read
// and written there. The transfer streams into a partial file in the caches directory; the
// download queue verifies that file and moves it into the library.
class DownloadItem : public QObject {
    Q_OBJECT
public:
    using ResponseHandler = std::function<void(const DownloadResponse&)>;
    using StatusHandler = std::function<void(ItemStatus old, ItemStatus now)>;
    using ProgressHandler = std::function<void(const DownloadProgress&)>;

    DownloadItem(const VideoDetail& videoInfo, const std::optional<QUrl>& cacheURL);
    ~DownloadItem() override;
    DownloadItem() = delete;

    const VideoDetail videoInfo;
    std::optional<QUrl> cacheURL;
    ItemStatus status = ItemStatus::wait;
    ItemStatus lastStatus = ItemStatus::wait;
    // Why the item is in `error` (meaningful only there).
    DownloadFailure failure = DownloadFailure::network;
    QPointer<QNetworkReply> request;
    // Bytes received so far, counting those kept from before an interruption.
    qint64 downloadedSize = 0;
    ProgressHandler downloadProgressHandler;
    std::vector<ResponseHandler> completionHandlerList;
    StatusHandler statusChanged;
    // Told as soon as a transfer's answer makes its partial file resumable (validators known), so
    // that a kill of the program at any later moment leaves a partial that can be continued.
    std::function<void(const ResumeData&, const QString& partialPath)> resumable;

    // Every handler of the list hears every later transfer's end, in list order.
    void addCompletionHandler(ResponseHandler handler);
    // Starts a transfer: resumed from `cacheURL` when its descriptor and partial data are
    // usable, otherwise fresh. Sets `downloading` without telling anyone and installs
    // `statusChanged`. A sign that cannot name a file or an address that is not http(s) ends
    // at once in a failure response, so the caller's wait always ends.
    void startDownload(StatusHandler statusChanged);
    // `pause` (told to `statusChanged`), then cancels the transfer; its failure response, with
    // the resume data, follows on the main thread.
    void pauseDownload();
    // Sets the status, keeps the one before in `lastStatus` and tells `statusChanged`.
    void setStatus(ItemStatus now);
    // "DownloadVideo/<sign>.<mp4|mov>": where a verified file goes.
    QString downloadDestination() const;
    // One network access manager for every item of the main thread (each costs a thread).
    static QNetworkAccessManager* sessionManager();

    // Number of the transfer last started (0 before the first).
    quint64 currentTransfer() const { return transferNumber_; }
    // The partial file the running transfer writes, or empty.
    QString currentPartialPath() const;
    bool isTransferring() const { return transfer_.active; }
    // Ends the running transfer now without telling the handlers and gives its response
    // (used when quitting, where no later event would be delivered).
    std::optional<DownloadResponse> cancelNow();
    // Ends the running transfer now and deletes its partial file; the handlers hear nothing.
    void discardTransfer();
    // How the item left the download list, shared with the finishes running on workers.
    // `withdrawn`: deleted by the user before its video entered the library; a finish under
    // way checks it, so a removed item never enters the library. `entered`: a finish put the
    // video in; any other finish of the same item still running then changes nothing.
    // `announced`: the library and the player were told (main thread only).
    struct Fate {
        std::atomic<bool> withdrawn{false};
        std::atomic<bool> entered{false};
        bool announced = false;
    };
    using FatePtr = std::shared_ptr<Fate>;
    const FatePtr& fate() const { return fate_; }

    static bool isValidSign(const QString& sign);
    // The address of `text` when it is a usable http(s) URL, trying a percent-encoded form once.
    static std::optional<QUrl> downloadAddress(const QString& text);
    // "mov" when the address text ends in ".mov", otherwise "mp4".
    static QString fileExtension(const QString& urlText);
    // Inactivity time-outs of fresh and resumed transfers.
    static constexpr int kFreshTimeoutMs = 10000;
    static constexpr int kResumedTimeoutMs = 60000;
    // A body may run this much past the record's size (a record that is a little off) before
    // the transfer stops; with no size in the record there is no limit.
    static constexpr qint64 kSizeMarginBytes = 1024 * 1024;

signals:
    // Every status change, also the start of a transfer, which `statusChanged` does not hear.
    void statusDidChange(ItemStatus old, ItemStatus now);
    // Each progress step of a transfer, counting the bytes kept from before an interruption;
    // `downloadedSize` already holds the new count.
    void progressDidChange(const DownloadProgress& progress);

private:
    struct Transfer {
        bool active = false;
        QNetworkReply* reply = nullptr;
        QFile partial;
        QUrl url;
        qint64 offset = 0;     // bytes kept from before
        bool resumed = false;  // asked for a range
        bool headersSeen = false;
        QString etag;
        QString lastModified;
        qint64 total = -1;
        int httpStatus = 0;
        qint64 fileBytes = 0;  // bytes in the partial file, kept ones included
        bool writeFailed = false;
        bool tooLarge = false;            // the body ran past the record's size: it is not the video
        bool rejected = false;            // an error answer: its body is not the file
        bool replaceOnFirstByte = false;  // a whole file answered a range: it replaces the kept bytes
        struct {
            QString etag, lastModified;
            qint64 total = -1;
        } replacement;  // that file's validators and size, taken with its first byte
    };

    // The most bytes a body may hold, the margin included; -1 for no limit.
    qint64 sizeLimit() const;
    // Ends the transfer as too large when `announced` passes the limit; true then.
    bool stopIfAnnouncedTooLarge(qint64 announced);
    bool beginFresh();
    bool beginResumed(const ResumeData& data, const QString& partialPath);
    // A range request when `resume` is given, else a fresh one.
    bool beginRequest(const QUrl& url, const ResumeData* resume);
    void checkHeaders();
    void restartFresh();
    void onReadyRead();
    // Appends received bytes to the partial file; false when they cannot be written or would
    // take the file past its record's size.
    bool writeBody(const char* data, qint64 length);
    // A resumed 200 empties the partial file before its first byte is written.
    void takeWholeFileInstead();
    void tellResumable();
    void onProgress(qint64 received, qint64 total);
    void onFinished();
    DownloadResponse finishTransfer(bool success, const QString& errorString);
    void detachReply();
    void deliver(const DownloadResponse& response);
    // Keeps the response and delivers it from the event loop, unless a start delivered it first.
    void deliverLater(const DownloadResponse& response);
    void deliverPending();

    quint64 transferNumber_ = 0;
    Transfer transfer_;
    std::optional<DownloadResponse> pending_;  // a response waiting for its queued delivery
    FatePtr fate_ = std::make_shared<Fate>();
};
