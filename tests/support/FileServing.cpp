#include "support/FileServing.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QMutex>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <map>
#include <optional>

namespace testsupport {

struct FileServing::State {
    struct Entry {
        QString path;
        QByteArray etag;
    };
    mutable QMutex mutex;
    std::map<QString, Entry> files;
    // How later answers misbehave.
    struct Faults {
        qint64 bytesPerSecond = 0;
        qint64 failAfter = -1;
        int errorStatus = 0;
        qint64 rangeShift = 0;
    } faults;
    QList<ServedFileRequest> served;
    std::atomic<qint64> bytesSent{0};
    std::atomic<int> answersInProgress{0};
};

namespace {
constexpr qint64 kChunk = 256 * 1024;
constexpr qint64 kSocketBacklog = 1024 * 1024;

QByteArray httpDate(const QDateTime& time) {
    return QLocale::c().toString(time.toUTC(), QStringLiteral("ddd, dd MMM yyyy hh:mm:ss 'GMT'")).toLatin1();
}

// Sends one body from a file, paced and possibly cut short, then closes the connection.
class BodyStreamer : public QObject {
public:
    BodyStreamer(QTcpSocket* socket, std::shared_ptr<FileServing::State> state, const QString& path, qint64 first,
                 qint64 count, qint64 bytesPerSecond, qint64 failAfter)
        : QObject(socket),
          socket_(socket),
          state_(std::move(state)),
          file_(path),
          remaining_(count),
          bytesPerSecond_(bytesPerSecond),
          failAfter_(failAfter) {
        ++state_->answersInProgress;
        if (!file_.open(QIODevice::ReadOnly) || !file_.seek(first)) {
            socket_->abort();
            return;
        }
        clock_.start();
        connect(socket_, &QTcpSocket::bytesWritten, this, [this] { pump(); });
        timer_.setSingleShot(true);
        connect(&timer_, &QTimer::timeout, this, [this] { pump(); });
        pump();
    }

    ~BodyStreamer() override { --state_->answersInProgress; }

private:
    void pump() {
        if (done_)
            return;
        while (true) {
            if (remaining_ == 0 || (failAfter_ >= 0 && sent_ >= failAfter_)) {
                done_ = true;
                socket_->disconnectFromHost();  // writes what is queued, then closes
                return;
            }
            if (socket_->bytesToWrite() > kSocketBacklog)
                return;  // bytesWritten brings us back
            qint64 chunk = std::min(kChunk, remaining_);
            if (failAfter_ >= 0)
                chunk = std::min(chunk, failAfter_ - sent_);
            if (bytesPerSecond_ > 0) {
                const qint64 allowed = bytesPerSecond_ * clock_.elapsed() / 1000 + 4096 - sent_;
                if (allowed <= 0) {
                    timer_.start(10);
                    return;
                }
                chunk = std::min(chunk, allowed);
            }
            const QByteArray data = file_.read(chunk);
            if (data.isEmpty()) {
                done_ = true;
                socket_->abort();
                return;
            }
            socket_->write(data);
            sent_ += data.size();
            remaining_ -= data.size();
            state_->bytesSent += data.size();
        }
    }

    QTcpSocket* socket_;
    std::shared_ptr<FileServing::State> state_;
    QFile file_;
    qint64 remaining_;
    qint64 sent_ = 0;
    qint64 bytesPerSecond_;
    qint64 failAfter_;
    bool done_ = false;
    QElapsedTimer clock_;
    QTimer timer_;
};

// "bytes=N-" or "bytes=N-M" -> (N, M or -1).
std::optional<std::pair<qint64, qint64>> parseRange(const QByteArray& header) {
    QByteArray value = header.trimmed();
    if (!value.startsWith("bytes="))
        return std::nullopt;
    value = value.mid(6);
    if (value.contains(','))
        return std::nullopt;  // several ranges are not served
    const qsizetype dash = value.indexOf('-');
    if (dash <= 0)
        return std::nullopt;
    bool ok = false;
    const qint64 first = value.left(dash).toLongLong(&ok);
    if (!ok || first < 0)
        return std::nullopt;
    const QByteArray lastText = value.mid(dash + 1);
    qint64 last = -1;
    if (!lastText.isEmpty()) {
        last = lastText.toLongLong(&ok);
        if (!ok || last < first)
            return std::nullopt;
    }
    return std::make_pair(first, last);
}
}  // namespace

FileServing::FileServing(ServiceStandIn& standIn, const QString& prefix)
    : standIn_(standIn), prefix_(prefix), state_(std::make_shared<State>()) {
    std::shared_ptr<State> state = state_;
    const QString routePrefix = prefix_;
    standIn_.addRoute(prefix_, [state, routePrefix](const HttpRequest& request, QTcpSocket* socket) {
        ServedFileRequest record;
        record.name = request.path.mid(routePrefix.size());
        record.range = request.header("Range");
        record.ifRange = request.header("If-Range");

        State::Entry entry;
        State::Faults faults;
        bool known = false;
        {
            QMutexLocker lock(&state->mutex);
            const auto it = state->files.find(record.name);
            if (it != state->files.end()) {
                entry = it->second;
                known = true;
            }
            faults = state->faults;
        }
        const QFileInfo info(entry.path);
        if (request.method != "GET" || !known || !info.isFile() || faults.errorStatus != 0) {
            record.status = faults.errorStatus != 0 ? faults.errorStatus : 404;
            {
                QMutexLocker lock(&state->mutex);
                state->served.append(record);
            }
            ServiceStandIn::writeResponse(socket, record.status, {{"Content-Type", "text/plain"}},
                                          ServiceStandIn::reasonPhrase(record.status) + '\n', true);
            return;
        }
        const qint64 size = info.size();
        const QByteArray lastModified = httpDate(info.lastModified());
        HeaderList headers{{"Content-Type", "video/mp4"},
                           {"Accept-Ranges", "bytes"},
                           {"ETag", entry.etag},
                           {"Last-Modified", lastModified}};

        qint64 first = 0;
        qint64 count = size;
        int status = 200;
        if (!record.range.isEmpty()) {
            // A validator that no longer matches means the client holds bytes of another file.
            const bool validatorMatches = record.ifRange.isEmpty() || record.ifRange == entry.etag ||
                                          record.ifRange == lastModified;
            const auto range = parseRange(record.range);
            if (validatorMatches && range) {
                if (range->first >= size) {
                    status = 416;
                } else {
                    status = 206;
                    first = std::clamp(range->first + faults.rangeShift, qint64(0), size - 1);
                    const qint64 last = range->second < 0 ? size - 1 : std::min(range->second, size - 1);
                    count = last - first + 1;
                }
            }
        }
        record.status = status;
        record.firstByte = first;
        record.plannedBytes = status == 416 ? 0 : count;
        {
            QMutexLocker lock(&state->mutex);
            state->served.append(record);
        }
        if (status == 416) {
            headers.append({"Content-Range", "bytes */" + QByteArray::number(size)});
            ServiceStandIn::writeResponse(socket, 416, headers, QByteArray(), true);
            return;
        }
        if (status == 206)
            headers.append({"Content-Range", "bytes " + QByteArray::number(first) + '-' +
                                                 QByteArray::number(first + count - 1) + '/' +
                                                 QByteArray::number(size)});
        headers.append({"Content-Length", QByteArray::number(count)});
        socket->write(ServiceStandIn::responseHead(status, headers, true));
        new BodyStreamer(socket, state, entry.path, first, count, faults.bytesPerSecond, faults.failAfter);
    });
}

FileServing::~FileServing() = default;

void FileServing::addFile(const QString& name, const QString& path, const QByteArray& etag) {
    QByteArray tag = etag;
    if (tag.isEmpty()) {
        const QFileInfo info(path);
        tag = '"' + QByteArray::number(info.size(), 16) + '-' +
              QByteArray::number(info.lastModified().toMSecsSinceEpoch(), 16) + '"';
    }
    QMutexLocker lock(&state_->mutex);
    state_->files[name] = State::Entry{path, tag};
}

void FileServing::setEtag(const QString& name, const QByteArray& etag) {
    QMutexLocker lock(&state_->mutex);
    state_->files[name].etag = etag;
}

QByteArray FileServing::etag(const QString& name) const {
    QMutexLocker lock(&state_->mutex);
    const auto it = state_->files.find(name);
    return it == state_->files.end() ? QByteArray() : it->second.etag;
}

QString FileServing::url(const QString& name) const {
    return standIn_.baseUrl() + prefix_ + name;
}

void FileServing::setSpeedLimit(qint64 bytesPerSecond) {
    QMutexLocker lock(&state_->mutex);
    state_->faults.bytesPerSecond = bytesPerSecond;
}

void FileServing::setFailAfter(qint64 bytes) {
    QMutexLocker lock(&state_->mutex);
    state_->faults.failAfter = bytes;
}

void FileServing::setErrorStatus(int status) {
    QMutexLocker lock(&state_->mutex);
    state_->faults.errorStatus = status;
}

void FileServing::setRangeShift(qint64 bytes) {
    QMutexLocker lock(&state_->mutex);
    state_->faults.rangeShift = bytes;
}

qint64 FileServing::bytesSent() const {
    return state_->bytesSent.load();
}

int FileServing::answersInProgress() const {
    return state_->answersInProgress.load();
}

QList<ServedFileRequest> FileServing::requests() const {
    QMutexLocker lock(&state_->mutex);
    return state_->served;
}

void FileServing::resetCounters() {
    State& state = *state_;
    QMutexLocker lock(&state.mutex);
    state.served.clear();
    state.bytesSent.store(0);
}

}  // namespace testsupport
