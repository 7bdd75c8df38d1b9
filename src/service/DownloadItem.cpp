#include "service/DownloadItem.h"

#include "service/DownloadPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QTimer>

#include <limits>

namespace {
// Bounds what a reply may hold before we write it out.
constexpr qint64 kReadBufferBytes = 4 * 1024 * 1024;

// "bytes START-END/TOTAL" -> (START, TOTAL or -1 for "*").
std::optional<std::pair<qint64, qint64>> parseContentRange(const QByteArray& header) {
    static const QRegularExpression pattern(QStringLiteral("^\\s*bytes\\s+(\\d+)-(\\d+)/(\\d+|\\*)\\s*$"));
    const auto match = pattern.match(QString::fromLatin1(header));
    if (!match.hasMatch())
        return std::nullopt;
    bool okStart = false;
    const qint64 start = match.captured(1).toLongLong(&okStart);
    qint64 total = -1;
    if (match.captured(3) != QLatin1String("*")) {
        bool okTotal = false;
        total = match.captured(3).toLongLong(&okTotal);
        if (!okTotal)
            return std::nullopt;
    }
    if (!okStart)
        return std::nullopt;
    return std::make_pair(start, total);
}

// Sizes come from servers and records: a sum past the largest size stays at the largest.
qint64 saturatingAdd(qint64 a, qint64 b) {
    qint64 sum = 0;
    if (__builtin_add_overflow(a, b, &sum))
        return b > 0 ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::min();
    return sum;
}
}  // namespace

std::optional<ItemStatus> itemStatusFromInt(qint64 value) {
    if (value < 0 || value > 4)
        return std::nullopt;
    return static_cast<ItemStatus>(value);
}

DownloadItem::DownloadItem(const VideoDetail& info, const std::optional<QUrl>& cache)
    : videoInfo(info), cacheURL(cache) {}

DownloadItem::~DownloadItem() {
    detachReply();
    transfer_.partial.close();
}

void DownloadItem::addCompletionHandler(ResponseHandler handler) {
    completionHandlerList.push_back(std::move(handler));
}

QNetworkAccessManager* DownloadItem::sessionManager() {
    static QPointer<QNetworkAccessManager> session;
    if (!session)
        session = new QNetworkAccessManager(QCoreApplication::instance());
    return session;
}

bool DownloadItem::isValidSign(const QString& sign) {
    if (sign.size() != 32)
        return false;
    for (QChar c : sign) {
        const char16_t u = c.unicode();
        if (!((u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'f')))
            return false;
    }
    return true;
}

std::optional<QUrl> DownloadItem::downloadAddress(const QString& text) {
    QUrl url(text, QUrl::StrictMode);
    if (!url.isValid()) {
        // Retry once with everything a URL query does not allow percent-encoded.
        const QByteArray encoded = QUrl::toPercentEncoding(text, QByteArrayLiteral("!$&'()*+,;=:@/?"));
        url = QUrl(QString::fromLatin1(encoded), QUrl::StrictMode);
    }
    if (!isHttp(url))
        return std::nullopt;
    return url;
}

QString DownloadItem::fileExtension(const QString& urlText) {
    return urlText.endsWith(QLatin1String(".mov")) ? QStringLiteral("mov") : QStringLiteral("mp4");
}

QString DownloadItem::downloadDestination() const {
    return QDir(downloadVideoDirectoryPath())
        .filePath(videoInfo.sign + QLatin1Char('.') + fileExtension(videoInfo.url));
}

QString DownloadItem::currentPartialPath() const {
    return transfer_.active ? transfer_.partial.fileName() : QString();
}

void DownloadItem::startDownload(StatusHandler handler) {
    // An earlier transfer's answer is heard before the new transfer begins, so its resume data
    // is saved and used.
    deliverPending();
    if (transfer_.active)
        deliver(finishTransfer(false, QStringLiteral("superseded")));

    request = nullptr;
    ++transferNumber_;
    bool started = false;
    std::optional<DownloadResponse> complete;
    QString reason = QStringLiteral("no usable address");
    if (!isValidSign(videoInfo.sign)) {
        reason = QStringLiteral("the sign cannot name a file");
    } else {
        if (const auto resume = readResumeFile(cacheURL)) {
            const QFileInfo info(resume->partialPath);
            if (info.isFile() && info.size() > 0 && info.size() == resume->data.total) {
                // Received whole before (the verification did not end): verify it again.
                complete = DownloadResponse{transferNumber_,
                                            true,
                                            QUrl::fromLocalFile(resume->partialPath),
                                            resume->data,
                                            resume->partialPath,
                                            0,
                                            QString()};
            } else if (info.isFile() && info.size() > 0) {
                started = beginResumed(resume->data, resume->partialPath);
            }
        }
        if (!started && !complete)
            started = beginFresh();
    }
    lastStatus = status;
    status = ItemStatus::downloading;
    statusChanged = std::move(handler);
    emit statusDidChange(lastStatus, status);
    if (complete) {
        deliverLater(*complete);
    } else if (!started) {
        DownloadResponse response;
        response.transfer = transferNumber_;
        response.errorString = reason;
        // A record whose sign names no file stays a plain failure; an address that is no web
        // address is refused; otherwise the partial file could not be made.
        if (isValidSign(videoInfo.sign))
            response.failure = downloadAddress(videoInfo.url) ? DownloadFailure::disk : DownloadFailure::refused;
        deliverLater(response);
    }
}

bool DownloadItem::beginFresh() {
    const auto address = downloadAddress(videoInfo.url);
    if (!address)
        return false;
    const QString path = unusedRandomFilePath(downloadCachesDirectoryPath(), QStringLiteral(".part"));
    transfer_.partial.setFileName(path);
    if (!transfer_.partial.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    transfer_.offset = 0;
    transfer_.fileBytes = 0;
    transfer_.etag.clear();
    transfer_.lastModified.clear();
    transfer_.total = -1;
    return beginRequest(*address, nullptr);
}

bool DownloadItem::beginResumed(const ResumeData& data, const QString& partialPath) {
    transfer_.partial.setFileName(partialPath);
    if (!transfer_.partial.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    transfer_.offset = transfer_.partial.size();
    transfer_.fileBytes = transfer_.offset;
    downloadedSize = transfer_.offset;
    transfer_.etag = data.etag;
    transfer_.lastModified = data.lastModified;
    transfer_.total = data.total;
    return beginRequest(data.url, &data);
}

bool DownloadItem::beginRequest(const QUrl& url, const ResumeData* resume) {
    const bool resumed = resume != nullptr;
    QNetworkRequest networkRequest(url);
    networkRequest.setTransferTimeout(resumed ? kResumedTimeoutMs : kFreshTimeoutMs);
    if (resumed) {
        networkRequest.setRawHeader("Range", "bytes=" + QByteArray::number(transfer_.offset) + '-');
        // Only a strong tag or a date proves the bytes we hold are still the same file's.
        const QString validator = !resume->etag.isEmpty() ? resume->etag : resume->lastModified;
        networkRequest.setRawHeader("If-Range", validator.toUtf8());
    }
    QNetworkReply* reply = sessionManager()->get(networkRequest);
    reply->setReadBufferSize(kReadBufferBytes);
    transfer_.active = true;
    transfer_.reply = reply;
    transfer_.url = url;
    transfer_.resumed = resumed;
    transfer_.headersSeen = false;
    transfer_.httpStatus = 0;
    transfer_.writeFailed = false;
    transfer_.tooLarge = false;
    transfer_.rejected = false;
    transfer_.replaceOnFirstByte = false;
    request = reply;

    connect(reply, &QNetworkReply::readyRead, this, [this, reply] {
        if (reply == transfer_.reply)
            onReadyRead();
    });
    connect(reply, &QNetworkReply::downloadProgress, this, [this, reply](qint64 received, qint64 total) {
        if (reply == transfer_.reply)
            onProgress(received, total);
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        if (reply == transfer_.reply)
            onFinished();
    });
    return true;
}

void DownloadItem::checkHeaders() {
    if (transfer_.headersSeen || !transfer_.reply)
        return;
    QNetworkReply* reply = transfer_.reply;
    const QVariant statusValue = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!statusValue.isValid())
        return;  // no answer yet (or none at all): nothing to judge
    transfer_.headersSeen = true;
    transfer_.httpStatus = statusValue.toInt();

    const QByteArray etagHeader = reply->rawHeader("ETag").trimmed();
    const QString etag = etagHeader.startsWith('"') ? QString::fromLatin1(etagHeader) : QString();
    const QString lastModified = QString::fromLatin1(reply->rawHeader("Last-Modified").trimmed());
    const QVariant lengthValue = reply->header(QNetworkRequest::ContentLengthHeader);
    const qint64 length = lengthValue.isValid() ? lengthValue.toLongLong() : -1;

    if (transfer_.resumed) {
        if (transfer_.httpStatus == 206) {
            const auto range = parseContentRange(reply->rawHeader("Content-Range"));
            if (!range || range->first != transfer_.offset) {
                restartFresh();
                return;
            }
            if (!etag.isEmpty())
                transfer_.etag = etag;
            if (!lastModified.isEmpty())
                transfer_.lastModified = lastModified;
            transfer_.total = range->second >= 0 ? range->second
                              : length >= 0      ? saturatingAdd(transfer_.offset, length)
                                                 : -1;
            stopIfAnnouncedTooLarge(transfer_.total);
            return;
        }
        if (transfer_.httpStatus == 416) {
            restartFresh();
            return;
        }
        if (transfer_.httpStatus != 200) {
            // An error (404, 5xx...) says nothing about the file: the kept bytes and their
            // validators stay for a later resume.
            transfer_.rejected = true;
            return;
        }
        // The whole file instead of the rest: it replaces what we held once its body arrives.
        transfer_.replaceOnFirstByte = true;
        transfer_.replacement = {etag, lastModified, length};
        stopIfAnnouncedTooLarge(length);
        return;
    } else if (transfer_.httpStatus < 200 || transfer_.httpStatus >= 300) {
        transfer_.rejected = true;  // an error page is no video
        return;
    }
    transfer_.etag = etag;
    transfer_.lastModified = lastModified;
    transfer_.total = length >= 0 ? saturatingAdd(transfer_.offset, length) : -1;
    if (!stopIfAnnouncedTooLarge(transfer_.total))
        tellResumable();
}

qint64 DownloadItem::sizeLimit() const {
    return videoInfo.size > 0 ? saturatingAdd(videoInfo.size, kSizeMarginBytes) : -1;
}

bool DownloadItem::stopIfAnnouncedTooLarge(qint64 announced) {
    const qint64 limit = sizeLimit();
    if (limit < 0 || announced <= limit)
        return false;
    // Not worth receiving: a body that size is not this video.
    transfer_.tooLarge = true;
    transfer_.writeFailed = true;
    if (transfer_.reply && transfer_.reply->isRunning())
        transfer_.reply->abort();
    return true;
}

void DownloadItem::tellResumable() {
    if (resumable && (!transfer_.etag.isEmpty() || !transfer_.lastModified.isEmpty()))
        resumable(ResumeData{transfer_.url, QFileInfo(transfer_.partial.fileName()).fileName(), transfer_.etag,
                             transfer_.lastModified, transfer_.total},
                  transfer_.partial.fileName());
}

void DownloadItem::restartFresh() {
    const QString oldPartial = transfer_.partial.fileName();
    detachReply();
    transfer_.partial.close();
    QFile::remove(oldPartial);
    transfer_.active = false;
    if (!beginFresh()) {
        transfer_.active = true;  // let finishTransfer clean up the unusable partial name
        transfer_.partial.setFileName(QString());
        deliver(finishTransfer(false, QStringLiteral("no usable address")));
    }
}

void DownloadItem::onReadyRead() {
    QNetworkReply* reply = transfer_.reply;
    if (!transfer_.headersSeen) {
        checkHeaders();
        if (reply != transfer_.reply || !transfer_.active)
            return;  // the transfer was replaced by a fresh one
    }
    if (transfer_.rejected) {
        reply->skip(reply->bytesAvailable());
        return;
    }
    if (transfer_.writeFailed)
        return;
    takeWholeFileInstead();
    // Straight from the reply's buffer to the file through one reused block.
    char block[64 * 1024];
    while (reply->bytesAvailable() > 0) {
        const qint64 got = reply->read(block, sizeof block);
        if (got <= 0)
            break;
        if (!writeBody(block, got)) {
            transfer_.writeFailed = true;
            reply->abort();
            return;
        }
    }
}

bool DownloadItem::writeBody(const char* data, qint64 length) {
    const qint64 limit = sizeLimit();
    if (limit >= 0 && saturatingAdd(transfer_.fileBytes, length) > limit) {
        transfer_.tooLarge = true;
        return false;
    }
    if (transfer_.partial.write(data, length) != length)
        return false;
    transfer_.fileBytes += length;
    return true;
}

void DownloadItem::takeWholeFileInstead() {
    if (!transfer_.replaceOnFirstByte || transfer_.reply->bytesAvailable() <= 0)
        return;
    transfer_.replaceOnFirstByte = false;
    transfer_.partial.resize(0);
    transfer_.offset = 0;
    transfer_.fileBytes = 0;
    transfer_.resumed = false;
    transfer_.etag = transfer_.replacement.etag;
    transfer_.lastModified = transfer_.replacement.lastModified;
    transfer_.total = transfer_.replacement.total;
    tellResumable();
}

void DownloadItem::onProgress(qint64 received, qint64 total) {
    // The answer decides whether the kept bytes count (a 200 to a range request starts over).
    QNetworkReply* reply = transfer_.reply;
    checkHeaders();
    if (reply != transfer_.reply || !transfer_.active || transfer_.rejected)
        return;
    takeWholeFileInstead();
    DownloadProgress progress;
    progress.completedUnitCount = saturatingAdd(transfer_.offset, received);
    progress.totalUnitCount = total >= 0 ? saturatingAdd(transfer_.offset, total) : transfer_.total;
    downloadedSize = progress.completedUnitCount;
    if (downloadProgressHandler)
        downloadProgressHandler(progress);
    emit progressDidChange(progress);
}

void DownloadItem::onFinished() {
    QNetworkReply* reply = transfer_.reply;
    checkHeaders();
    if (reply != transfer_.reply || !transfer_.active)
        return;
    if (!transfer_.writeFailed && !transfer_.rejected && reply->bytesAvailable() > 0) {
        takeWholeFileInstead();
        const QByteArray rest = reply->readAll();
        if (!writeBody(rest.constData(), rest.size()))
            transfer_.writeFailed = true;
    }
    bool success = reply->error() == QNetworkReply::NoError && !transfer_.writeFailed && !transfer_.rejected &&
                   !transfer_.replaceOnFirstByte;
    QString errorString = transfer_.tooLarge      ? QStringLiteral("the server sent more than the record's size")
                          : transfer_.writeFailed ? QStringLiteral("cannot write the partial file")
                                                  : reply->errorString();
    if (transfer_.rejected || transfer_.replaceOnFirstByte)
        errorString = QStringLiteral("HTTP status %1 without the file").arg(transfer_.httpStatus);
    if (success && transfer_.total >= 0 && transfer_.partial.size() != transfer_.total) {
        success = false;
        errorString = QStringLiteral("the transfer ended early");
    }
    DownloadResponse response = finishTransfer(success, errorString);
    if (!response.success && transfer_.tooLarge)
        response.failure = DownloadFailure::tooLarge;
    else if (!response.success && transfer_.writeFailed)
        response.failure = DownloadFailure::disk;
    deliver(response);
}

DownloadResponse DownloadItem::finishTransfer(bool success, const QString& errorString) {
    DownloadResponse response;
    response.transfer = transferNumber_;
    response.success = success;
    response.httpStatus = transfer_.httpStatus;
    response.errorString = errorString;

    const QString path = transfer_.partial.fileName();
    // The one flush of the partial file: a received file that did not reach the disk whole is
    // no success, and bytes that may be missing are no base for a resume.
    if (transfer_.partial.isOpen() && !transfer_.partial.flush()) {
        transfer_.writeFailed = true;
        if (response.success) {
            response.success = false;
            response.errorString = QStringLiteral("cannot write the partial file");
        }
    }
    const qint64 size = transfer_.partial.isOpen() ? transfer_.partial.size() : 0;
    transfer_.partial.close();
    detachReply();

    const bool validated = !transfer_.etag.isEmpty() || !transfer_.lastModified.isEmpty();
    if (response.success || (!transfer_.writeFailed && size > 0 && validated)) {
        if (validated)
            response.resumeData = ResumeData{transfer_.url, QFileInfo(path).fileName(), transfer_.etag,
                                             transfer_.lastModified, response.success ? size : transfer_.total};
        if (response.success)
            response.fileURL = QUrl::fromLocalFile(path);
        response.partialPath = path;
    } else if (!path.isEmpty()) {
        QFile::remove(path);  // nothing worth keeping
    }
    transfer_.active = false;
    transfer_.partial.setFileName(QString());
    return response;
}

void DownloadItem::detachReply() {
    QNetworkReply* reply = transfer_.reply;
    transfer_.reply = nullptr;
    if (!reply)
        return;
    reply->disconnect(this);
    if (reply->isRunning())
        reply->abort();
    reply->deleteLater();
}

void DownloadItem::setStatus(ItemStatus now) {
    const ItemStatus old = status;
    lastStatus = old;
    status = now;
    if (statusChanged)
        statusChanged(old, now);
    emit statusDidChange(old, now);
}

void DownloadItem::pauseDownload() {
    setStatus(ItemStatus::pause);
    if (transfer_.active)
        deliverLater(finishTransfer(false, QStringLiteral("cancelled")));
}

void DownloadItem::deliverLater(const DownloadResponse& response) {
    pending_ = response;
    const quint64 number = response.transfer;
    QTimer::singleShot(0, this, [this, number] {
        if (pending_ && pending_->transfer == number)
            deliverPending();
    });
}

void DownloadItem::deliverPending() {
    if (!pending_)
        return;
    const DownloadResponse response = *pending_;
    pending_.reset();
    deliver(response);
}

void DownloadItem::deliver(const DownloadResponse& response) {
    // Handlers may change the list (or the item's state) while they run: call a copy.
    const auto handlers = completionHandlerList;
    for (const auto& handler : handlers) {
        if (handler)
            handler(response);
    }
}

std::optional<DownloadResponse> DownloadItem::cancelNow() {
    if (transfer_.active)
        return finishTransfer(false, QStringLiteral("cancelled"));
    if (pending_) {
        auto response = std::move(pending_);
        pending_.reset();
        return response;
    }
    return std::nullopt;
}

void DownloadItem::discardTransfer() {
    auto response = cancelNow();
    if (response && !response->partialPath.isEmpty())
        QFile::remove(response->partialPath);
}
