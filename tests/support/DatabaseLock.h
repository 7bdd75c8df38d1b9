#pragma once
#include <QByteArray>
#include <QString>
#include <optional>

struct sqlite3;

namespace testsupport {
// Another connection's transaction on the library file (the shared one unless `path` names
// another), as the other program might hold one: the lock stays taken, longer than the busy
// wait, until released. "BEGIN EXCLUSIVE" keeps readers out too; "BEGIN IMMEDIATE" lets them read
// while writers wait.
struct WriteLock {
    explicit WriteLock(const char* begin = "BEGIN EXCLUSIVE;", const QString& path = {});
    ~WriteLock();
    WriteLock(const WriteLock&) = delete;
    WriteLock& operator=(const WriteLock&) = delete;
    void release() const;

    sqlite3* db = nullptr;
    bool held = false;
};

// Runs SQL on a connection of its own to the file at `path` (made when missing): the first
// column of every result row, joined by newlines; none when the SQL failed.
std::optional<QString> runSql(const QString& path, const char* sql);

// Overwrites bytes of a file in place, as a crash or a failing disk might leave it.
bool overwriteBytes(const QString& path, qint64 offset, const QByteArray& bytes);
}  // namespace testsupport
