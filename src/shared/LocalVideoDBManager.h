#pragma once
#include "shared/VideoDetail.h"

#include <QString>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

struct sqlite3;

// The library of wallpaper videos: table "LocalVideos" of "Tavvel.db" in the shared container's
// "Application Support". Both programs open the same file; failures are only logged.
//
// One connection per process, opened at construction and kept for the life of the process (or
// until the file at the path is replaced).
// Calls may come from any thread: they are serialized by a mutex, and the connection waits
// up to 3 s for the other program's lock instead of failing at once.
//
// In the desktop player (bundle identifier "com.zembo.TavvelHelper") insertVideo and
// deleteAllVideos do nothing but log that they were refused: that program only lists, looks up
// and deletes by sign.
class LocalVideoDBManager {
public:
    static LocalVideoDBManager& shared();

    // What to do with a file that is not a sound library. The main program mends it: a table
    // that lacks columns (another version wrote it) gets them; a damaged file has its readable
    // rows carried into a fresh library and is set aside under a new name; what is no library
    // at all (no database, no table, a folder) is set aside and a fresh one started. The desktop
    // player, which may run while the main program has the file open, changes nothing: it leaves
    // it to the main program and follows the path to the new file.
    enum class BrokenFile { setAside, leave };

    // Where the main program checks the file at start: `here` in the constructor; `onItsOwnThread`
    // on a thread of its own, so the window's thread never waits for the folder lock or the
    // other program. Every call meanwhile waits for the check (or, not waiting, answers "held").
    enum class Checking { here, onItsOwnThread };

    // A manager of the database file at `path`, copying the template there when no file exists.
    explicit LocalVideoDBManager(const QString& path, BrokenFile broken = BrokenFile::setAside,
                                 Checking checking = Checking::here);
    ~LocalVideoDBManager();
    LocalVideoDBManager(const LocalVideoDBManager&) = delete;
    LocalVideoDBManager& operator=(const LocalVideoDBManager&) = delete;

    // What insertVideo did. The lookup and the insert happen under one lock, so `alreadyThere`
    // and `inserted` can be trusted without looking again.
    enum class InsertResult {
        inserted,      // the row was added
        alreadyThere,  // a row with the sign existed; nothing was written
        failed,        // the insert was tried and failed (or no database is open)
        refused,       // the desktop player never inserts
    };

    // Adds the video unless a row with its sign exists; logs "insert true|false" when it tries.
    InsertResult insertVideo(const VideoDetail& video);
    // Every row, in the database's order.
    std::vector<VideoDetail> allVideos();
    // The last row with this sign, if any.
    std::optional<VideoDetail> videoWithSign(const QString& sign);

    // The same reads for callers that must tell "held elsewhere" from "no rows": none when
    // another thread or program holds the database (and for the look-up, whenever the search
    // did not run to its end: only then is "no row" certain). With `wait` false nothing is
    // waited for (the window's thread); with true the usual 3 s for the other program.
    std::optional<std::vector<VideoDetail>> readAllVideos(bool wait);
    std::optional<std::optional<VideoDetail>> readVideoWithSign(const QString& sign, bool wait);
    // Points the rows of this sign at another file (their own file is gone); true on success.
    bool updateVideoURL(const QString& sign, const QString& url);
    // Logs "delete <sign> true|false".
    void deleteVideoWithSign(const QString& sign);
    // Logs "delete all true|false".
    void deleteAllVideos();

    // How a write that must go together with files ended.
    enum class WriteResult {
        done,    // committed, or taken back because the caller asked
        busy,    // the other program held the file past the usual wait; nothing was changed
        failed,  // no database, or it refused: nothing was changed (unless the commit failed)
    };
    // Deletes the rows of a sign (logs "delete <sign> true|false"); true when the statement ran.
    using DeleteRows = std::function<bool(const QString& sign)>;
    // Runs `change` inside one transaction that holds the file alone from its start, so files it
    // removes and the rows it deletes change together for the other program. `change` is given
    // every row and the deleter; its false takes every deletion back. Nothing is called when
    // the file cannot be had: waits the usual 3 s, so for workers, never the window's thread.
    WriteResult deleteVideos(
        const std::function<bool(const std::vector<VideoDetail>& rows, const DeleteRows& remove)>& change);

    // Calls `done` once the start's check has ended: at once when it has, else on its thread
    // before any call waiting for the check goes on (so `done` must not call this manager).
    void afterCheck(std::function<void()> done);
    // Returns once the start's check has ended (quitting must not end the process under it).
    void waitForCheck();

    const QString& databasePath() const { return path_; }
    // Waits for the check at start.
    bool isOpen() const {
        std::lock_guard lock(mutex_);
        return db_ != nullptr;
    }
    // Once the check has ended (afterCheck): where the broken file found at the start went
    // ("Tavvel.db.broken-<date>-<time>"); none when the file was sound.
    const std::optional<QString>& setAsidePath() const { return setAside_; }
    // How many rows of the set-aside file were carried into the fresh library: none when it was
    // no library at all, a number (maybe 0) when it was a damaged one.
    std::optional<int> carriedRows() const { return carried_; }
    // Whether parts of the damaged file could not be read (how many rows they held is unknown).
    bool someRowsUnread() const { return unread_; }

    // "<applicationSupport>/Tavvel.db".
    static QString defaultPath();
    // Where the template lives inside the programs.
    static QString templateResource() { return QStringLiteral(":/Tavvel.db"); }

private:
    void check(BrokenFile broken);
    // Builds a fresh library (with what still reads of a damaged file) and puts it in place.
    void repair(bool damaged);
    void open();
    // Begins a write transaction on the file that is at the path now: one opened before the
    // main program replaced it is left once its lock is had. False when none could be begun.
    bool beginWrite(const char* begin);
    // The busy handler: waits up to `busyMs_`, but not for a file that is no longer at the path.
    static int busyWait(void* self, int count);
    // Opens again when the path names another file than the open one (the main program put a
    // fresh library in place of a broken one).
    void followPath();
    std::optional<VideoDetail> videoWithSignLocked(const QString& sign, bool* unanswered = nullptr);
    // `complete` tells whether every row was read.
    std::vector<VideoDetail> allVideosLocked(bool* busy, bool* complete = nullptr);
    // Runs `read` under the lock; none when the lock or the file is held elsewhere.
    template <typename Read>
    auto readHeld(bool wait, Read read) -> std::optional<decltype(read(nullptr))>;
    bool execute(const char* sql, const QString* sign, const QString* url = nullptr);
    bool executeLocked(const char* sql, const QString* sign, const QString* url = nullptr);

    QString path_;
    sqlite3* db_ = nullptr;
    // The damaged file set aside, held alone for the rest of the run: a connection of another
    // process still open on it then never takes the fresh library's journal for its own.
    sqlite3* aside_ = nullptr;
    int busyMs_ = 3000;
    bool mendColumns_ = false;  // the check could not add the missing columns yet
    bool unread_ = false;
    std::optional<std::pair<quint64, quint64>> opened_;  // device and inode of what `db_` opened
    std::optional<QString> setAside_;
    std::optional<int> carried_;
    mutable std::mutex mutex_;

    std::thread checker_;
    std::mutex checkedMutex_;
    bool checked_ = false;
    std::vector<std::function<void()>> afterCheck_;
};
