#include "MainWindow/library/LocalLibraryIndex.h"

#include "shared/LocalVideoDBManager.h"

#include <chrono>

namespace {
// Between two reads that found the file held: the database's own wait already took 3 s, this
// only keeps a read that fails at once (another thread inside) from spinning.
constexpr std::chrono::milliseconds kPause(100);
}  // namespace

LocalLibraryIndex::LocalLibraryIndex(LocalVideoDBManager& database, QObject* parent)
    : QObject(parent), database_(database) {}

LocalLibraryIndex::~LocalLibraryIndex() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (worker_.joinable())
        worker_.join();
}

std::optional<std::vector<VideoDetail>> LocalLibraryIndex::readNow() {
    std::optional<std::vector<VideoDetail>> rows = database_.readAllVideos(false);
    if (!rows) {
        readLater();
        return std::nullopt;
    }
    keep(*rows, false);
    return rows;
}

void LocalLibraryIndex::refresh() {
    readNow();
}

std::optional<VideoDetail> LocalLibraryIndex::videoWithSign(const QString& sign) {
    if (std::optional<std::optional<VideoDetail>> found = database_.readVideoWithSign(sign, false))
        return *found;
    readLater();
    if (!rows_ || !signs_.contains(sign))
        return std::nullopt;
    for (auto it = rows_->crbegin(); it != rows_->crend(); ++it)  // the last row of a sign wins
        if (it->sign == sign)
            return *it;
    return std::nullopt;
}

void LocalLibraryIndex::keep(std::vector<VideoDetail> rows, bool announce) {
    QSet<QString> signs;
    for (const VideoDetail& video : rows)
        signs.insert(video.sign);
    announce = announce || signs != signs_;
    signs_ = std::move(signs);
    rows_ = std::move(rows);
    if (announce)
        emit changed();
}

void LocalLibraryIndex::readLater() {
    if (waiting_)
        return;
    waiting_ = true;
    {
        std::lock_guard lock(mutex_);
        wanted_ = true;
    }
    if (!worker_.joinable())
        worker_ = std::thread([this] { work(); });
    wake_.notify_all();
}

void LocalLibraryIndex::work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return wanted_ || stopping_; });
        if (stopping_)
            return;
        wanted_ = false;
        for (;;) {
            lock.unlock();
            std::optional<std::vector<VideoDetail>> rows = database_.readAllVideos(true);
            lock.lock();
            if (stopping_)
                return;
            if (rows) {
                // Queued to the window's thread; dropped with this object if it goes first.
                QMetaObject::invokeMethod(
                    this,
                    [this, rows = std::move(*rows)]() mutable {
                        waiting_ = false;
                        keep(std::move(rows), true);
                    },
                    Qt::QueuedConnection);
                break;
            }
            if (wake_.wait_for(lock, kPause, [this] { return stopping_; }))
                return;
        }
    }
}
