#pragma once

struct sqlite3;

namespace testsupport {
// Another connection's transaction on the library file, as the other program might hold one: the
// lock stays taken, longer than the busy wait, until released. "BEGIN EXCLUSIVE" keeps readers
// out too; "BEGIN IMMEDIATE" lets them read while writers wait.
struct WriteLock {
    explicit WriteLock(const char* begin = "BEGIN EXCLUSIVE;");
    ~WriteLock();
    WriteLock(const WriteLock&) = delete;
    WriteLock& operator=(const WriteLock&) = delete;
    void release() const;

    sqlite3* db = nullptr;
    bool held = false;
};
}  // namespace testsupport
