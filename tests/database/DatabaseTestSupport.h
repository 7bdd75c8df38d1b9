#pragma once
// Helpers of the database tests: capturing the log lines on standard output, and raw access to
// the file beside the manager's connection.
#include "support/QtPrinters.h"
#include "shared/VideoDetail.h"

#include <QByteArray>
#include <QFile>
#include <QStringList>
#include <gtest/gtest.h>
#include <functional>
#include <sqlite3.h>

namespace dbtest {

// Captures standard output (through GoogleTest's capture) while alive; lines() gives what was
// written and ends the capture.
class StdoutCapture {
public:
    StdoutCapture() { testing::internal::CaptureStdout(); }
    ~StdoutCapture() { lines(); }

    QStringList lines() {
        if (!capturing_)
            return collected_;
        capturing_ = false;
        collected_ = QString::fromStdString(testing::internal::GetCapturedStdout())
                         .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        return collected_;
    }

private:
    bool capturing_ = true;
    QStringList collected_;
};

// Runs SQL on its own connection; `row` sees each result row.
inline bool rawExec(const QString& path, const char* sql, const std::function<void(sqlite3_stmt*)>& row = {}) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return false;
    }
    sqlite3_stmt* stmt = nullptr;
    bool ok = sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK;
    int rc = SQLITE_DONE;
    while (ok && (rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        if (row)
            row(stmt);
    }
    ok = ok && rc == SQLITE_DONE;
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return ok;
}

inline qint64 rawCount(const QString& path) {
    qint64 n = -1;
    rawExec(path, "select count(*) from LocalVideos", [&](sqlite3_stmt* s) { n = sqlite3_column_int64(s, 0); });
    return n;
}

inline VideoDetail video(const QString& sign, qint64 n = 1) {
    VideoDetail v;
    v.id = n;
    v.sign = sign;
    v.preurl = QStringLiteral("https://example.invalid/p/") + sign;
    v.title = QStringLiteral("Video ") + sign;
    v.url = QStringLiteral("file:///videos/") + sign + QStringLiteral(".mp4");
    v.description = QStringLiteral("about ") + sign;
    v.time = 15000 + n;
    v.size = 1000000 + n;
    v.imgurl = QStringLiteral("file:///thumbs/") + sign + QStringLiteral(".png");
    v.imgsize = 2048;
    v.tags = QStringLiteral("a,b");
    v.ratio = QStringLiteral("16:9");
    v.width = 1920;
    v.height = 1080;
    v.frame = 30;
    v.rate = 4000000;
    v.audio = n % 2;
    v.uptime = QStringLiteral("2021-05-01");
    v.down = 3;
    v.view = 4;
    v.author = QStringLiteral("Ana");
    v.avatar = QStringLiteral("https://example.invalid/a.png");
    v.avatarsize = 100;
    v.hp = QStringLiteral("hp");
    v.upcount = 5;
    return v;
}

}  // namespace dbtest
