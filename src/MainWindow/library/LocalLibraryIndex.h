#pragma once
#include "shared/VideoDetail.h"

#include <QObject>
#include <QSet>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

class LocalVideoDBManager;

// What the window knows of the library database without ever waiting for it. The other program
// may hold the file for seconds; the window's thread then reads nothing and answers from the
// rows it read last, while a worker reads again until the file is free and hands the rows over
// (changed()). Main thread only, apart from that worker.
class LocalLibraryIndex : public QObject {
    Q_OBJECT
public:
    explicit LocalLibraryIndex(LocalVideoDBManager& database, QObject* parent = nullptr);
    ~LocalLibraryIndex() override;

    // Every row now, when the database answers at once; none while it is held elsewhere, and
    // then the worker reads it and changed() follows.
    std::optional<std::vector<VideoDetail>> readNow();
    // readNow() for its side effects: the rows kept, or the worker's read started.
    void refresh();
    // The rows last read (none before the first answer).
    const std::optional<std::vector<VideoDetail>>& rows() const { return rows_; }
    // The stored video of `sign`: asked of the database when it answers at once, else from the
    // rows last read (and the worker asked to read them again).
    std::optional<VideoDetail> videoWithSign(const QString& sign);
    bool contains(const QString& sign) { return videoWithSign(sign).has_value(); }
    // A read is waiting for the database to be free.
    bool isWaiting() const { return waiting_; }

signals:
    // The worker's rows arrived, or a read on this thread found other signs than before.
    void changed();

private:
    void keep(std::vector<VideoDetail> rows, bool announce);
    void readLater();
    void work();

    LocalVideoDBManager& database_;
    std::optional<std::vector<VideoDetail>> rows_;
    QSet<QString> signs_;
    bool waiting_ = false;

    // The worker, made on the first read that could not be answered at once.
    std::thread worker_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool wanted_ = false;
    bool stopping_ = false;
};
