#include "shared/LocalVideoDBManager.h"

#include "platform/AppLauncher.h"
#include "platform/Bundle.h"
#include "platform/FileLock.h"
#include "platform/Log.h"
#include "shared/AppInfo.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryFile>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <future>
#include <iterator>
#include <limits>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr const char* kInsert =
    "INSERT INTO LocalVideos ( vid, sign, preurl, title, url, description, time, size, imgurl, imgsize, tags, "
    "ratio, width, height, frame, rate, audio, uptime, down, view, author, avatar, avatarsize, hp, upcount, state "
    ") values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?);";
constexpr const char* kSelectAll = "select * from LocalVideos";
constexpr const char* kSelectSign = "select * from LocalVideos where sign = ?";
constexpr const char* kDeleteSign = "delete from LocalVideos where sign = ?";
constexpr const char* kDeleteAll = "delete from LocalVideos";
constexpr const char* kUpdateURL = "update LocalVideos set url = ? where sign = ?";

bool isBusyCode(int code) {
    code &= 0xff;
    return code == SQLITE_BUSY || code == SQLITE_LOCKED;
}

// The file is locked by another connection (this answer then says nothing about the rows).
bool isBusy(sqlite3* db) {
    return isBusyCode(db ? sqlite3_errcode(db) : SQLITE_OK);
}

bool isDesktopPlayer() {
    return platform::mainBundle().identifier == QLatin1String(platform::kHelperIdentifier);
}

// One prepared statement, finalized when it goes out of scope.
class Stmt {
public:
    Stmt(sqlite3* db, const char* sql) {
        if (db)
            sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr);
    }
    ~Stmt() { sqlite3_finalize(stmt_); }
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;

    bool valid() const { return stmt_ != nullptr; }
    sqlite3_stmt* get() const { return stmt_; }

    void bind(int index, qint64 value) { sqlite3_bind_int64(stmt_, index, value); }
    void bind(int index, const QString& value) {
        const QByteArray utf8 = value.toUtf8();
        sqlite3_bind_text(stmt_, index, utf8.constData(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
    }

    // Runs a statement that returns no rows.
    bool run() { return stmt_ && sqlite3_step(stmt_) == SQLITE_DONE; }

private:
    sqlite3_stmt* stmt_ = nullptr;
};

// Reads rows by column name, so the record does not depend on the table's column order.
class RowReader {
public:
    explicit RowReader(sqlite3_stmt* stmt) : stmt_(stmt) {
        static constexpr std::array<const char*, 25> names = {
            "vid",     "sign", "preurl", "title",  "url",        "description", "time",   "size",  "imgurl",
            "imgsize", "tags", "ratio",  "width",  "height",     "frame",       "rate",   "audio", "uptime",
            "down",    "view", "author", "avatar", "avatarsize", "hp",          "upcount"};
        const int count = sqlite3_column_count(stmt);
        for (size_t i = 0; i < names.size(); ++i) {
            index_[i] = -1;
            for (int c = 0; c < count; ++c) {
                if (qstrcmp(sqlite3_column_name(stmt, c), names[i]) == 0) {
                    index_[i] = c;
                    break;
                }
            }
        }
    }

    VideoDetail read() const {
        int n = 0;
        VideoDetail v;
        v.id = integer(n++);
        v.sign = text(n++);
        v.preurl = text(n++);
        v.title = text(n++);
        v.url = text(n++);
        v.description = text(n++);
        v.time = integer(n++);
        v.size = integer(n++);
        v.imgurl = text(n++);
        v.imgsize = integer(n++);
        v.tags = text(n++);
        v.ratio = text(n++);
        v.width = integer(n++);
        v.height = integer(n++);
        v.frame = integer(n++);
        v.rate = integer(n++);
        v.audio = integer(n++);
        v.uptime = text(n++);
        v.down = integer(n++);
        v.view = integer(n++);
        v.author = text(n++);
        v.avatar = text(n++);
        v.avatarsize = integer(n++);
        v.hp = text(n++);
        v.upcount = integer(n++);
        return v;
    }

private:
    // 64-bit reads: a file of 2 GiB or more must keep its size.
    qint64 integer(int field) const {
        const int c = index_[static_cast<size_t>(field)];
        return c < 0 ? 0 : sqlite3_column_int64(stmt_, c);
    }
    // NULL (or a missing column) reads as the empty text.
    QString text(int field) const {
        const int c = index_[static_cast<size_t>(field)];
        if (c < 0)
            return {};
        const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, c));
        if (!data)
            return {};
        return QString::fromUtf8(data, sqlite3_column_bytes(stmt_, c));
    }

    sqlite3_stmt* stmt_;
    std::array<int, 25> index_{};
};

// Device and inode of what is at `path` now.
std::optional<std::pair<quint64, quint64>> fileIdentity(const QString& path) {
    struct stat info = {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return std::pair<quint64, quint64>(info.st_dev, info.st_ino);
}

bool pathExists(const QString& path) {
    struct stat info = {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

// Copies the template when no file is at `path`. The copy is written under another name with
// its final mode and only then linked into place: the other program, opening the path at any
// moment, finds nothing or the whole writable file (a read-only one would stay read-only for
// that program's whole run). A link, unlike a rename, never replaces a file that the other
// program placed first.
void placeTemplate(const QString& path) {
    if (QFileInfo::exists(path))
        return;
    const QString resource = LocalVideoDBManager::templateResource();
    if (!QFile::exists(resource))
        qFatal("the database template is missing from the program");
    QFile source(resource);
    QTemporaryFile copy(path + QStringLiteral(".XXXXXX"));
    const bool written = source.open(QIODevice::ReadOnly) && copy.open() &&
                         copy.write(source.readAll()) == source.size() && copy.flush() &&
                         copy.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                                             QFileDevice::ReadOther);
    if (!written) {
        platform::logLine(QStringLiteral("copy error ") +
                          (source.isOpen() ? copy.errorString() : source.errorString()));
        return;
    }
    ::fsync(copy.handle());
    if (::link(QFile::encodeName(copy.fileName()).constData(), QFile::encodeName(path).constData()) != 0 &&
        errno != EEXIST)
        platform::logLine(QStringLiteral("copy error ") + QString::fromLocal8Bit(std::strerror(errno)));
}

// What the file at the path is. `unknown` (busy, unreadable, missing) is never taken for broken.
// A file that opens as a library is kept (`olderColumns`: columns are added to it) or, when
// damaged, has its readable rows carried into a fresh one; only what is no library at all is
// simply set aside.
enum class FileState { sound, unknown, olderColumns, damaged, noLibrary };

FileState damageState(int rc) {
    rc &= 0xff;
    if (rc == SQLITE_NOTADB)
        return FileState::noLibrary;
    return rc == SQLITE_CORRUPT ? FileState::damaged : FileState::unknown;
}

// A column of the template's table.
struct Column {
    QByteArray name;
    QByteArray type;
    QByteArray defaultValue;  // SQL text; empty for none
};

// The columns of the template's table in their order, read once from the template inside the
// program.
const std::vector<Column>& templateColumns() {
    static const std::vector<Column> columns = [] {
        std::vector<Column> out;
        QFile file(LocalVideoDBManager::templateResource());
        QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        sqlite3* db = nullptr;
        if (!bytes.isEmpty() && sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
            sqlite3_deserialize(db, "main", reinterpret_cast<unsigned char*>(bytes.data()), bytes.size(), bytes.size(),
                                SQLITE_DESERIALIZE_READONLY) == SQLITE_OK) {
            Stmt info(db, "select name, type, dflt_value from pragma_table_info('LocalVideos')");
            while (info.valid() && sqlite3_step(info.get()) == SQLITE_ROW) {
                auto text = [&info](int c) {
                    return QByteArray(reinterpret_cast<const char*>(sqlite3_column_text(info.get(), c)));
                };
                out.push_back({text(0), text(1), text(2)});
            }
        }
        sqlite3_close(db);
        if (out.empty())
            qFatal("the database template inside the program has no table");
        return out;
    }();
    return columns;
}

QByteArray quoted(const QByteArray& name) {
    return '"' + QByteArray(name).replace('"', "\"\"") + '"';
}

// The table's columns in their order; none when they cannot be read (`state` then says why).
std::optional<std::vector<Column>> tableColumns(sqlite3* db, FileState* state) {
    Stmt columns(db, "select name, type, dflt_value from pragma_table_info('LocalVideos')");
    if (!columns.valid()) {
        *state = damageState(sqlite3_errcode(db));
        return std::nullopt;
    }
    std::vector<Column> out;
    auto text = [&columns](int c) {
        return QByteArray(reinterpret_cast<const char*>(sqlite3_column_text(columns.get(), c)));
    };
    int rc;
    while ((rc = sqlite3_step(columns.get())) == SQLITE_ROW)
        out.push_back({text(0), text(1), text(2)});
    if (rc != SQLITE_DONE) {
        *state = damageState(rc);
        return std::nullopt;
    }
    return out;
}

std::optional<QSet<QByteArray>> columnNames(sqlite3* db, FileState* state) {
    const std::optional<std::vector<Column>> columns = tableColumns(db, state);
    if (!columns)
        return std::nullopt;
    QSet<QByteArray> names;
    for (const Column& column : *columns)
        names.insert(column.name);
    return names;
}

FileState stateOf(const QString& path, sqlite3* db) {
    struct stat info = {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return FileState::unknown;
    if (!S_ISREG(info.st_mode))
        return FileState::noLibrary;
    if (!db)
        return FileState::unknown;
    FileState state = FileState::unknown;
    const std::optional<QSet<QByteArray>> names = columnNames(db, &state);
    if (!names)
        return state;
    // An empty file opens as an empty database: without the table it holds no library.
    if (names->isEmpty())
        return FileState::noLibrary;
    {
        Stmt check(db, "PRAGMA quick_check");
        if (!check.valid())
            return damageState(sqlite3_errcode(db));
        const int rc = sqlite3_step(check.get());
        if (rc != SQLITE_ROW)
            return damageState(rc);
        if (qstrcmp(reinterpret_cast<const char*>(sqlite3_column_text(check.get(), 0)), "ok") != 0)
            return FileState::damaged;
    }
    for (const Column& column : templateColumns()) {
        if (!names->contains(column.name))
            return FileState::olderColumns;
    }
    return FileState::sound;
}

// Adds the template's columns that the table lacks (another version of the program wrote it),
// with the template's defaults; columns the template does not know stay as they are. False when
// the file was busy or refused (the caller tries again before its next write).
bool addMissingColumns(sqlite3* db) {
    FileState state = FileState::unknown;
    if (!db || sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) {
        platform::logLine(QStringLiteral("add columns: database busy"));
        return false;
    }
    const std::optional<QSet<QByteArray>> names = columnNames(db, &state);
    QStringList added;
    bool ok = names.has_value();
    for (const Column& column : templateColumns()) {
        if (!ok || names->contains(column.name))
            continue;
        QByteArray sql = "ALTER TABLE LocalVideos ADD COLUMN " + quoted(column.name) + ' ' + column.type;
        if (!column.defaultValue.isEmpty())
            sql += " DEFAULT " + column.defaultValue;
        ok = sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
        added << QString::fromUtf8(column.name);
    }
    ok = ok && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    if (!ok)
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    platform::logLine(QStringLiteral("add columns ") + added.join(QLatin1Char(',')) + QLatin1Char(' ') +
                      (ok ? QStringLiteral("true") : QStringLiteral("false")));
    return ok;
}

using Value = std::unique_ptr<sqlite3_value, decltype(&sqlite3_value_free)>;

// The rows that still read from a damaged table, with every column it has (a newer program's
// too), in table order.
struct ReadableRows {
    std::vector<Column> columns;
    std::vector<std::vector<Value>> rows;
    bool complete = true;  // no part of the table failed to read
};

// A damaged page stops a scan in rowid order. The scan then goes on past it: from positions
// further and further on (1, 2, 4... rowids) until one reads, and back by halves to the first
// position after the damage that reads, so the rows just after it are not skipped; to the end.
ReadableRows readableRows(sqlite3* db) {
    ReadableRows out;
    FileState state = FileState::unknown;
    std::optional<std::vector<Column>> columns = tableColumns(db, &state);
    if (!columns)
        return out;
    out.columns = std::move(*columns);
    QByteArray list;
    for (const Column& column : out.columns)
        list += (list.isEmpty() ? "" : ", ") + quoted(column.name);
    if (out.columns.empty())
        return out;
    Stmt stmt(db, "select rowid, " + list + " from LocalVideos where rowid >= ? order by rowid");
    if (!stmt.valid()) {
        out.complete = false;
        return out;
    }
    constexpr qint64 kMax = std::numeric_limits<qint64>::max();
    // The first step of a scan from `from`: SQLITE_ROW, SQLITE_DONE or the error.
    auto firstStep = [&](qint64 from) {
        sqlite3_reset(stmt.get());
        stmt.bind(1, from);
        return sqlite3_step(stmt.get());
    };
    auto reads = [](int rc) { return rc == SQLITE_ROW || rc == SQLITE_DONE; };
    qint64 from = std::numeric_limits<qint64>::min();
    for (;;) {
        int rc = firstStep(from);
        qint64 failing = from;  // a position whose scan fails at once
        while (rc == SQLITE_ROW) {
            const qint64 rowid = sqlite3_column_int64(stmt.get(), 0);
            std::vector<Value> row;
            for (int c = 1; c <= int(out.columns.size()); ++c)
                row.emplace_back(sqlite3_value_dup(sqlite3_column_value(stmt.get(), c)), &sqlite3_value_free);
            out.rows.push_back(std::move(row));
            if (rowid == kMax)
                return out;
            failing = rowid + 1;
            rc = sqlite3_step(stmt.get());
        }
        if (rc == SQLITE_DONE)
            return out;
        out.complete = false;
        // Rowids are positive in practice: the steps past the damage start at 0 at the latest.
        const qint64 base = std::max<qint64>(failing, 0);
        std::optional<qint64> good;
        for (qint64 step = 1; step > 0 && base <= kMax - step; step *= 2) {
            if (reads(firstStep(base + step - 1))) {
                good = base + step - 1;
                break;
            }
            if (step > kMax / 2)
                break;
        }
        if (!good)
            return out;  // nothing after the damage reads
        qint64 lo = failing;
        qint64 hi = *good;
        while (quint64(hi) - quint64(lo) > 1) {
            const qint64 mid = lo + qint64((quint64(hi) - quint64(lo)) / 2);
            (reads(firstStep(mid)) ? hi : lo) = mid;
        }
        from = hi;
    }
}

// Makes a file's (or a folder's entries') writes durable; false when the disk refused.
bool syncPath(const QString& path, bool folder) {
    const int fd = ::open(QFile::encodeName(path).constData(), (folder ? O_DIRECTORY : 0) | O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

QString folderOf(const QString& path) {
    return QFileInfo(path).absolutePath();
}

// Builds a whole fresh library with the rows beside `path`, under a name of its own
// ("Tavvel.db.repair-XXXXXX", swept at the next start if this is cut short): committed and on
// the disk before anything else changes. The file's name, or none when the disk refused.
std::optional<QString> buildLibrary(const QString& path, const ReadableRows& readable) {
    QFile source(LocalVideoDBManager::templateResource());
    QTemporaryFile file(path + QStringLiteral(".repair-XXXXXX"));
    const bool copied = source.open(QIODevice::ReadOnly) && file.open() &&
                        file.write(source.readAll()) == source.size() && file.flush() &&
                        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                                            QFileDevice::ReadOther);
    file.close();
    const QByteArray name = QFile::encodeName(file.fileName());
    sqlite3* db = nullptr;
    bool ok = copied && sqlite3_open_v2(name.constData(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK;
    // The columns a newer program added come along, with their types and defaults.
    const std::vector<Column>& known = templateColumns();
    QByteArray names;
    QByteArray marks;
    for (const Column& column : readable.columns) {
        names += (names.isEmpty() ? "" : ", ") + quoted(column.name);
        marks += marks.isEmpty() ? "?" : ", ?";
        if (!ok || std::any_of(known.begin(), known.end(), [&](const Column& c) { return c.name == column.name; }))
            continue;
        QByteArray sql = "ALTER TABLE LocalVideos ADD COLUMN " + quoted(column.name) + ' ' + column.type;
        if (!column.defaultValue.isEmpty())
            sql += " DEFAULT " + column.defaultValue;
        ok = sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    ok = ok && sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
    if (ok && !readable.rows.empty()) {
        Stmt insert(db, "insert into LocalVideos (" + names + ") values (" + marks + ")");
        ok = insert.valid();
        for (size_t r = 0; ok && r < readable.rows.size(); ++r) {
            for (size_t c = 0; c < readable.columns.size(); ++c)
                sqlite3_bind_value(insert.get(), int(c) + 1, readable.rows[r][c].get());
            ok = insert.run();
            sqlite3_reset(insert.get());
        }
    }
    ok = ok && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    if (!ok && db)
        platform::logLine(QStringLiteral("repair: the fresh library was not written: ") +
                          QString::fromUtf8(sqlite3_errmsg(db)));
    ok = sqlite3_close(db) == SQLITE_OK && ok && syncPath(file.fileName(), false);
    if (!ok) {
        QFile::remove(file.fileName() + QStringLiteral("-journal"));
        return std::nullopt;  // the temporary file goes with `file`
    }
    file.setAutoRemove(false);
    return file.fileName();
}

// Sweeps what a repair cut short left, under the check's lock: a fresh library that never got
// the name goes; one that was complete and the library's name empty (no hard links here) takes it.
void finishEarlierRepair(const QString& path) {
    const QDir folder(folderOf(path));
    const QString base = QFileInfo(path).fileName();
    for (const QString& name : folder.entryList({base + QStringLiteral(".repair-*")}, QDir::Files | QDir::Hidden))
        QFile::remove(folder.filePath(name));
    const QString repaired = path + QStringLiteral(".repaired");
    if (!pathExists(repaired))
        return;
    if (!pathExists(path) &&
        ::rename(QFile::encodeName(repaired).constData(), QFile::encodeName(path).constData()) == 0)
        platform::logLine(QStringLiteral("repair: finished the switch an earlier start began"));
    else
        QFile::remove(repaired);
}

// Sets the broken file at `path` aside and puts the complete `fresh` library under its name: a
// hard link under the new name, then a rename over the old one, so the name always holds the
// broken file or the whole new library. Where there are no hard links (or the broken thing is a
// folder), the fresh one first takes a name the next start finishes the switch from. The journals
// of the broken file go with it before the fresh one is there to have any. Nothing is deleted.
std::optional<QString> switchIn(const QString& fresh, const QString& path) {
    const auto broken = fileIdentity(path);
    const QDir folder(folderOf(path));
    const QString prefix = QFileInfo(path).fileName() + QStringLiteral(".broken-");
    // A switch cut short after the link: the broken file has its name aside already.
    std::optional<QString> linked;
    for (const QString& name : folder.entryList({prefix + QLatin1Char('*')}, QDir::Files | QDir::Hidden)) {
        if (broken && fileIdentity(folder.filePath(name)) == broken)
            linked = folder.filePath(name);
    }
    const QString stem = path + QStringLiteral(".broken-") +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    std::optional<QString> aside = linked;
    bool noLinks = !QFileInfo(path).isFile();
    for (int n = 1; !aside && !noLinks && n < 100; ++n) {
        const QString name = n == 1 ? stem : stem + QLatin1Char('-') + QString::number(n);
        if (pathExists(name + QStringLiteral("-journal")) || pathExists(name + QStringLiteral("-wal")))
            continue;
        if (::link(QFile::encodeName(path).constData(), QFile::encodeName(name).constData()) == 0)
            aside = name;
        else if (errno == EPERM || errno == EOPNOTSUPP || errno == ENOSYS)
            noLinks = true;
        else if (errno != EEXIST)
            break;
    }
    auto moveSides = [&path](const QString& to) {
        for (const QString& side : {QStringLiteral("-journal"), QStringLiteral("-wal"), QStringLiteral("-shm")}) {
            if (pathExists(path + side))
                platform::renameNoReplace(path + side, to + side);
        }
    };
    auto fail = [](const char* what) -> std::optional<QString> {
        platform::logLine(QStringLiteral("set aside error ") + QLatin1String(what) + QLatin1Char(' ') +
                          QString::fromLocal8Bit(std::strerror(errno)));
        return std::nullopt;
    };
    if (aside) {
        moveSides(*aside);
        if (!syncPath(folder.path(), true) ||
            ::rename(QFile::encodeName(fresh).constData(), QFile::encodeName(path).constData()) != 0)
            return fail("rename");
        syncPath(folder.path(), true);
        return aside;
    }
    if (!noLinks)
        return fail("link");
    const QString repaired = path + QStringLiteral(".repaired");
    if (::rename(QFile::encodeName(fresh).constData(), QFile::encodeName(repaired).constData()) != 0 ||
        !syncPath(folder.path(), true))
        return fail("rename");
    for (int n = 1; !aside && n < 100; ++n) {
        const QString name = n == 1 ? stem : stem + QLatin1Char('-') + QString::number(n);
        if (pathExists(name + QStringLiteral("-journal")) || pathExists(name + QStringLiteral("-wal")))
            continue;
        if (platform::renameNoReplace(path, name))
            aside = name;
        else if (errno != EEXIST)
            break;
    }
    if (!aside) {
        QFile::remove(repaired);
        return fail("rename");
    }
    moveSides(*aside);
    if (!syncPath(folder.path(), true) ||
        ::rename(QFile::encodeName(repaired).constData(), QFile::encodeName(path).constData()) != 0)
        return fail("rename");  // the next start finishes it
    syncPath(folder.path(), true);
    return aside;
}

// Held while a program checks (and maybe replaces) the file: a second Tavvel on the same folders
// then checks the fresh file, instead of setting aside the one the first has just put there. The
// lock is taken on a file of its own beside the library, open for writing: a folder cannot be
// opened for writing, and NFS locks nothing through a descriptor open for reading only.
class DirectoryLock {
public:
    explicit DirectoryLock(const QString& path)
        : fd_(::open(
              QFile::encodeName(QFileInfo(path).absolutePath() + QStringLiteral("/.Tavvel.db-checking")).constData(),
              O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
        if (fd_ >= 0)
            platform::lockExclusive(fd_);
    }
    ~DirectoryLock() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    DirectoryLock(const DirectoryLock&) = delete;
    DirectoryLock& operator=(const DirectoryLock&) = delete;

private:
    int fd_;
};
}  // namespace

LocalVideoDBManager& LocalVideoDBManager::shared() {
    // Kept open until the process ends and never destroyed: a worker thread still inside a
    // call while main() returns must not meet a closed connection or a destroyed mutex.
    static LocalVideoDBManager* manager = isDesktopPlayer()
                                              ? new LocalVideoDBManager(defaultPath(), BrokenFile::leave)
                                              : new LocalVideoDBManager(defaultPath(), BrokenFile::setAside,
                                                                        Checking::onItsOwnThread);
    return *manager;
}

QString LocalVideoDBManager::defaultPath() {
    return AppInfo::applicationSupport() + QStringLiteral("/Tavvel.db");
}

LocalVideoDBManager::LocalVideoDBManager(const QString& path, BrokenFile broken, Checking checking) : path_(path) {
    if (checking == Checking::here) {
        check(broken);
        checked_ = true;
        return;
    }
    // The checker holds the calls' lock from before this returns until the file is sound, and
    // hands the news over before letting the first call in.
    std::promise<void> holding;
    checker_ = std::thread([this, broken, &holding] {
        std::unique_lock lock(mutex_);
        holding.set_value();
        check(broken);
        std::vector<std::function<void()>> waiting;
        {
            std::lock_guard news(checkedMutex_);
            checked_ = true;
            waiting.swap(afterCheck_);
        }
        for (const auto& done : waiting)
            done();
    });
    holding.get_future().wait();
}

void LocalVideoDBManager::afterCheck(std::function<void()> done) {
    {
        std::lock_guard news(checkedMutex_);
        if (!checked_) {
            afterCheck_.push_back(std::move(done));
            return;
        }
    }
    done();
}

void LocalVideoDBManager::waitForCheck() {
    if (checker_.joinable() && checker_.get_id() != std::this_thread::get_id())
        checker_.join();
}

void LocalVideoDBManager::check(BrokenFile broken) {
    std::optional<DirectoryLock> checking;
    if (broken == BrokenFile::setAside) {
        checking.emplace(path_);
        finishEarlierRepair(path_);
    }
    placeTemplate(path_);
    platform::logLine(path_);
    open();
    // The desktop player never changes the file's table or moves it: that is the main program's.
    if (broken != BrokenFile::setAside)
        return;
    switch (stateOf(path_, db_)) {
    case FileState::sound:
    case FileState::unknown: return;
    case FileState::olderColumns: mendColumns_ = !addMissingColumns(db_); return;
    case FileState::damaged: repair(true); return;
    case FileState::noLibrary: repair(false); return;
    }
}

void LocalVideoDBManager::repair(bool damaged) {
    // No other connection writes the damaged file from the first read until the fresh library
    // has its name: what they committed before is read, what they try after goes to the new file.
    int rc = SQLITE_BUSY;
    for (int tries = 0; damaged && tries < 3 && isBusyCode(rc); ++tries)
        rc = sqlite3_exec(db_, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr);
    if (damaged && isBusyCode(rc)) {
        platform::logLine(QStringLiteral("database damaged but held elsewhere: repaired at the next start"));
        return;
    }
    ReadableRows readable;
    if (damaged)
        readable = readableRows(db_);
    std::optional<QString> fresh;
    for (int tries = 0; tries < 3 && !fresh; ++tries)
        fresh = buildLibrary(path_, readable);
    if (fresh)
        setAside_ = switchIn(*fresh, path_);
    if (!setAside_) {
        if (fresh)
            QFile::remove(*fresh);
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        platform::logLine(QStringLiteral("database repair failed: the file stays as it is until the next start"));
        return;
    }
    const bool carried = !readable.columns.empty();
    platform::logLine((carried ? QStringLiteral("database damaged, set aside as ")
                               : QStringLiteral("database broken, set aside as ")) +
                      *setAside_);
    if (damaged)
        aside_ = std::exchange(db_, nullptr);
    open();
    if (carried) {
        carried_ = int(readable.rows.size());
        unread_ = !readable.complete;
        platform::logLine(QStringLiteral("carried %1 of %1 readable rows%2")
                              .arg(*carried_)
                              .arg(unread_ ? QStringLiteral("; parts could not be read") : QString()));
    }
}

void LocalVideoDBManager::open() {
    sqlite3_close(db_);
    db_ = nullptr;
    opened_ = fileIdentity(path_);
    // Without a file the copy failed: opening with CREATE would leave an empty database without
    // the table that every later start would keep using. Without it, the next start retries.
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX;
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path_).constData(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        platform::logLine(QStringLiteral("db open failure"));
        sqlite3_close(db);
        return;
    }
    sqlite3_busy_handler(db, &LocalVideoDBManager::busyWait, this);
    db_ = db;
}

int LocalVideoDBManager::busyWait(void* self, int count) {
    auto* manager = static_cast<LocalVideoDBManager*>(self);
    constexpr int kPauseMs = 5;
    if (count * kPauseMs >= manager->busyMs_ || fileIdentity(manager->path_) != manager->opened_)
        return 0;
    ::usleep(kPauseMs * 1000);
    return 1;
}

void LocalVideoDBManager::followPath() {
    const auto now = fileIdentity(path_);
    if (now && now != opened_)
        open();
}

bool LocalVideoDBManager::beginWrite(const char* begin) {
    for (int tries = 0; tries < 3; ++tries) {
        followPath();
        if (!db_)
            return false;
        const bool begun = sqlite3_exec(db_, begin, nullptr, nullptr, nullptr) == SQLITE_OK;
        const bool moved = fileIdentity(path_) != opened_;
        if (begun && !moved)
            return true;
        if (begun)
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        if (!moved)
            return false;
    }
    return false;
}

LocalVideoDBManager::~LocalVideoDBManager() {
    waitForCheck();
    sqlite3_close(db_);
    sqlite3_close(aside_);
}

LocalVideoDBManager::InsertResult LocalVideoDBManager::insertVideo(const VideoDetail& video) {
    if (isDesktopPlayer()) {
        platform::logLine(QStringLiteral("insert refused in the desktop player"));
        return InsertResult::refused;
    }
    std::lock_guard lock(mutex_);
    followPath();
    if (mendColumns_)
        mendColumns_ = !addMissingColumns(db_);
    // The look-up and the insert in one write transaction: the other program (or a second
    // Tavvel on the same folders) cannot add the same sign in between.
    if (!beginWrite("BEGIN IMMEDIATE")) {
        platform::logLine(QStringLiteral("insert false"));
        return InsertResult::failed;
    }
    if (videoWithSignLocked(video.sign)) {
        sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
        return InsertResult::alreadyThere;
    }
    Stmt stmt(db_, kInsert);
    bool ok = false;
    if (stmt.valid()) {
        int i = 1;
        stmt.bind(i++, video.id);
        stmt.bind(i++, video.sign);
        stmt.bind(i++, video.preurl);
        stmt.bind(i++, video.title);
        stmt.bind(i++, video.url);
        stmt.bind(i++, video.description);
        stmt.bind(i++, video.time);
        stmt.bind(i++, video.size);
        stmt.bind(i++, video.imgurl);
        stmt.bind(i++, video.imgsize);
        stmt.bind(i++, video.tags);
        stmt.bind(i++, video.ratio);
        stmt.bind(i++, video.width);
        stmt.bind(i++, video.height);
        stmt.bind(i++, video.frame);
        stmt.bind(i++, video.rate);
        stmt.bind(i++, video.audio);
        stmt.bind(i++, video.uptime);
        stmt.bind(i++, video.down);
        stmt.bind(i++, video.view);
        stmt.bind(i++, video.author);
        stmt.bind(i++, video.avatar);
        stmt.bind(i++, video.avatarsize);
        stmt.bind(i++, video.hp);
        stmt.bind(i++, video.upcount);
        stmt.bind(i++, qint64(1));
        ok = stmt.run();
    }
    ok = ok && sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    if (!ok)
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    platform::logLine(QStringLiteral("insert ") + (ok ? QStringLiteral("true") : QStringLiteral("false")));
    return ok ? InsertResult::inserted : InsertResult::failed;
}

std::vector<VideoDetail> LocalVideoDBManager::allVideos() {
    std::lock_guard lock(mutex_);
    followPath();
    return allVideosLocked(nullptr);
}

std::vector<VideoDetail> LocalVideoDBManager::allVideosLocked(bool* busy, bool* complete) {
    std::vector<VideoDetail> out;
    if (complete)
        *complete = false;
    Stmt stmt(db_, kSelectAll);
    if (!stmt.valid()) {
        if (busy)
            *busy = isBusy(db_);
        return out;
    }
    const RowReader reader(stmt.get());
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW)
        out.push_back(reader.read());
    if (busy)
        *busy = rc != SQLITE_DONE && isBusy(db_);
    if (complete)
        *complete = rc == SQLITE_DONE;
    return out;
}

std::optional<VideoDetail> LocalVideoDBManager::videoWithSign(const QString& sign) {
    std::lock_guard lock(mutex_);
    followPath();
    return videoWithSignLocked(sign);
}

std::optional<VideoDetail> LocalVideoDBManager::videoWithSignLocked(const QString& sign, bool* unanswered) {
    Stmt stmt(db_, kSelectSign);
    if (!stmt.valid()) {
        if (unanswered)
            *unanswered = true;
        return std::nullopt;
    }
    stmt.bind(1, sign);
    const RowReader reader(stmt.get());
    std::optional<VideoDetail> last;
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW)
        last = reader.read();  // the last row with the sign wins
    // Only a search that ran to its end tells that no row has the sign.
    if (unanswered)
        *unanswered = rc != SQLITE_DONE;
    return last;
}

template <typename Read>
auto LocalVideoDBManager::readHeld(bool wait, Read read) -> std::optional<decltype(read(nullptr))> {
    std::unique_lock lock(mutex_, std::defer_lock);
    if (wait)
        lock.lock();
    else if (!lock.try_lock())
        return std::nullopt;  // another thread is inside, maybe waiting for the other program
    followPath();
    const int usual = std::exchange(busyMs_, wait ? busyMs_ : 0);
    bool busy = false;
    auto result = read(&busy);
    // Held because the main program has just put a fresh library in place: that one answers.
    if (busy && db_ && fileIdentity(path_) != opened_) {
        followPath();
        busy = false;
        result = read(&busy);
    }
    busyMs_ = usual;
    if (busy)
        return std::nullopt;
    return result;
}

std::optional<std::vector<VideoDetail>> LocalVideoDBManager::readAllVideos(bool wait) {
    // A list cut short by damage is no more the list than a held one.
    return readHeld(wait, [this](bool* busy) {
        bool complete = false;
        std::vector<VideoDetail> rows = allVideosLocked(busy, &complete);
        if (!complete && db_)
            *busy = true;
        return rows;
    });
}

std::optional<std::optional<VideoDetail>> LocalVideoDBManager::readVideoWithSign(const QString& sign, bool wait) {
    return readHeld(wait, [this, &sign](bool* busy) { return videoWithSignLocked(sign, busy); });
}

bool LocalVideoDBManager::execute(const char* sql, const QString* sign, const QString* url) {
    std::lock_guard lock(mutex_);
    if (!beginWrite("BEGIN IMMEDIATE"))
        return false;
    const bool ok = executeLocked(sql, sign, url) &&
                    sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    if (!ok)
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    return ok;
}

bool LocalVideoDBManager::executeLocked(const char* sql, const QString* sign, const QString* url) {
    Stmt stmt(db_, sql);
    if (!stmt.valid())
        return false;
    int i = 1;
    if (url)
        stmt.bind(i++, *url);
    if (sign)
        stmt.bind(i++, *sign);
    return stmt.run();
}

bool LocalVideoDBManager::updateVideoURL(const QString& sign, const QString& url) {
    return execute(kUpdateURL, &sign, &url);
}

namespace {
bool loggedDelete(const QString& sign, bool ok) {
    platform::logLine(QStringLiteral("delete ") + sign + QLatin1Char(' ') +
                      (ok ? QStringLiteral("true") : QStringLiteral("false")));
    return ok;
}
}  // namespace

void LocalVideoDBManager::deleteVideoWithSign(const QString& sign) {
    loggedDelete(sign, execute(kDeleteSign, &sign));
}

void LocalVideoDBManager::deleteAllVideos() {
    if (isDesktopPlayer()) {
        platform::logLine(QStringLiteral("delete all refused in the desktop player"));
        return;
    }
    const bool ok = execute(kDeleteAll, nullptr);
    platform::logLine(QStringLiteral("delete all ") + (ok ? QStringLiteral("true") : QStringLiteral("false")));
}

LocalVideoDBManager::WriteResult LocalVideoDBManager::deleteVideos(
    const std::function<bool(const std::vector<VideoDetail>& rows, const DeleteRows& remove)>& change) {
    std::lock_guard lock(mutex_);
    // Exclusive from the start: once it is had, no reader can make the commit wait, so no file
    // is touched before the rows are certain to change with it.
    if (!beginWrite("BEGIN EXCLUSIVE")) {
        const bool busy = isBusy(db_);
        platform::logLine(busy ? QStringLiteral("delete busy") : QStringLiteral("delete false"));
        return busy ? WriteResult::busy : WriteResult::failed;
    }
    bool complete = false;
    const std::vector<VideoDetail> rows = allVideosLocked(nullptr, &complete);
    if (!complete) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        platform::logLine(QStringLiteral("delete false"));
        return WriteResult::failed;
    }
    const DeleteRows remove = [this](const QString& sign) {
        return loggedDelete(sign, executeLocked(kDeleteSign, &sign));
    };
    if (!change(rows, remove)) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        return WriteResult::done;
    }
    if (sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK)
        return WriteResult::done;
    // Only a failing disk gets here: what was removed is gone, the rows stay.
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    platform::logLine(QStringLiteral("delete commit false"));
    return WriteResult::failed;
}
