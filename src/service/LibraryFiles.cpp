#include "service/LibraryFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryFile>
#include <QUrl>

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/FileLock.h"
#include "platform/Log.h"
#include "platform/WholeFile.h"
#include "service/DownloadPaths.h"
#include "shared/AppInfo.h"
#include "shared/LocalVideoDBManager.h"
#include "shared/TextHelpers.h"

namespace libraryfiles {

bool isStillAt(int fd, const QString& path) {
    struct stat held = {};
    struct stat there = {};
    return ::fstat(fd, &held) == 0 && ::stat(QFile::encodeName(path).constData(), &there) == 0 &&
           held.st_dev == there.st_dev && held.st_ino == there.st_ino && S_ISREG(held.st_mode);
}

Held::~Held() {
    if (fd_ >= 0)
        ::close(fd_);
}

Held& Held::operator=(Held&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

int Held::release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

Claim claim(const QString& path) {
    Claim result;
    result.path = path;
    const QByteArray name = QFile::encodeName(path);
    // Opened for writing, as NFS locks nothing else.
    const int fd = ::open(name.constData(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY);
    if (fd < 0) {
        struct stat there = {};
        result.state = errno != ENOENT && ::lstat(name.constData(), &there) == 0 ? Claim::claimed : Claim::absent;
        return result;
    }
    Held file(fd);
    const platform::LockOutcome lock = platform::lockExclusive(fd, false);
    result.unguarded = lock == platform::LockOutcome::unavailable;
    // An import that gave up deletes its copy under its lock: what is there now is another file.
    if ((lock != platform::LockOutcome::locked && !result.unguarded) || !isStillAt(fd, path)) {
        result.state = Claim::held;
        return result;
    }
    result.state = Claim::claimed;
    result.file = std::move(file);
    return result;
}

Held hold(const QString& path) {
    Held file(::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY));
    if (file.fd() >= 0) {
        platform::lockExclusive(file.fd(), false);
        ::futimens(file.fd(), nullptr);
    }
    return file;
}

std::optional<QDateTime> folderNow(const QString& directory) {
    // Named like an import's temporary, so the sweep takes it should this process be killed here.
    QTemporaryFile probe(QDir(directory).filePath(QStringLiteral(".import-XXXXXX")));
    struct stat written = {};
    // A byte written, so a network mount stamps it with its own clock when it is looked at.
    if (!probe.open() || probe.write("t", 1) != 1 || !probe.flush() || ::fstat(probe.handle(), &written) != 0)
        return std::nullopt;
    return QDateTime::fromMSecsSinceEpoch(qint64(written.st_mtim.tv_sec) * 1000 + written.st_mtim.tv_nsec / 1000000);
}

bool untouchedForAnHour(const QString& path, const std::optional<QDateTime>& now) {
    const QDateTime modified = QFileInfo(path).lastModified();
    return now && modified.isValid() && modified.secsTo(*now) > 3600;
}

namespace {
const QRegularExpression& thumbnailName() {
    static const QRegularExpression name(QStringLiteral("^[A-Za-z0-9]{10}\\.png$"));
    return name;
}
}  // namespace

bool isThumbnail(const QString& path) {
    const QFileInfo file(path);
    return thumbnailName().match(file.fileName()).hasMatch() &&
           QDir::cleanPath(file.absolutePath()) == QDir::cleanPath(AppInfo::applicationSupport());
}

std::optional<QString> localPathOf(const QString& urlText) {
    // Tolerant: a row written by hand or by another version may leave a space unencoded.
    const QUrl url(urlText);
    if (!url.isValid() || !url.isLocalFile() || url.toLocalFile().isEmpty())
        return std::nullopt;
    return url.toLocalFile();
}

void sweepUnnamedThumbnails(const std::vector<VideoDetail>& rows) {
    // By name alone: a row written under another home's path still keeps its picture.
    QSet<QString> named;
    for (const VideoDetail& row : rows)
        if (const std::optional<QString> path = localPathOf(row.imgurl))
            named.insert(QFileInfo(*path).fileName());
    const QDir folder(AppInfo::applicationSupport());
    const std::optional<QDateTime> now = folderNow(folder.path());
    for (const QFileInfo& entry : folder.entryInfoList(QDir::Files)) {
        if (!thumbnailName().match(entry.fileName()).hasMatch() || named.contains(entry.fileName()) ||
            entry.isSymLink())
            continue;
        const Claim picture = claim(entry.absoluteFilePath());
        if (picture.state != Claim::claimed || picture.file.fd() < 0 ||
            !untouchedForAnHour(entry.absoluteFilePath(), now))
            continue;
        if (QFile::remove(entry.absoluteFilePath()))
            platform::logLine(QStringLiteral("Removed %1, a thumbnail no video names").arg(entry.fileName()));
    }
}

namespace {
const QString removalNotePrefix = QStringLiteral(".removing-");

// Whether a row names a file of that name, as its video or its thumbnail.
bool namedByName(const std::vector<VideoDetail>& rows, const QString& name) {
    return std::any_of(rows.begin(), rows.end(), [&name](const VideoDetail& row) {
        return QFileInfo(localPathOf(row.url).value_or(QString())).fileName() == name ||
               QFileInfo(localPathOf(row.imgurl).value_or(QString())).fileName() == name;
    });
}

// Deletes what the note lists and no row names; true when nothing of it is left to do.
bool finishRemoval(const QString& note, const std::vector<VideoDetail>& rows, const std::optional<QDateTime>& now) {
    QFile list(note);
    if (!list.open(QIODevice::ReadOnly))
        return false;
    const QString videos = QDir::cleanPath(downloadVideoDirectoryPath());
    bool finished = true;
    for (const QByteArray& line : list.readAll().split('\n')) {
        const QString path = localPathOf(QString::fromUtf8(line)).value_or(QString());
        const QFileInfo file(path);
        // Only the library's own files; one a row names again (an import took it) stays.
        if (path.isEmpty() || (!isThumbnail(path) && QDir::cleanPath(file.absolutePath()) != videos) ||
            namedByName(rows, file.fileName()))
            continue;
        const Claim doomed = claim(path);
        if (doomed.state == Claim::absent)
            continue;
        if (doomed.state == Claim::held || doomed.file.fd() < 0 ||
            (doomed.unguarded && !untouchedForAnHour(path, now)) || !QFile::remove(path)) {
            finished = false;
            continue;
        }
        platform::logLine(QStringLiteral("Removed %1, left by a removal that was cut short").arg(path));
    }
    return finished;
}
}  // namespace

std::optional<QString> noteRemoval(const std::vector<Claim>& files) {
    if (files.empty())
        return std::nullopt;
    QByteArray list;
    for (const Claim& file : files)
        list += QUrl::fromLocalFile(file.path).toEncoded(QUrl::FullyEncoded) + '\n';
    const QString note = QDir(AppInfo::applicationSupport()).filePath(removalNotePrefix + randomAlphanumericString(10));
    return platform::writeWholeFile(note, list) ? std::optional<QString>(note) : std::nullopt;
}

void sweepAtStart(LocalVideoDBManager& database) {
    if (database.databasePath() != LocalVideoDBManager::defaultPath())
        return;  // the pictures belong to the library at the usual place
    // Read inside the write transaction, which goes on only once every row has been read, and
    // where no other program's removal is between its note and its commit; nothing changes in
    // the database. After a repair the rows left in the set-aside file keep their files.
    std::optional<std::vector<VideoDetail>> rows;
    database.deleteVideos([&](const std::vector<VideoDetail>& all, const LocalVideoDBManager::DeleteRows&) {
        if (database.setAsidePath())
            return false;
        rows = all;
        const QDir folder(AppInfo::applicationSupport());
        static const QRegularExpression noteName(QStringLiteral("^\\.removing-[A-Za-z0-9]{10}$"));
        const std::optional<QDateTime> now = folderNow(folder.path());
        for (const QString& name :
             folder.entryList({removalNotePrefix + QLatin1Char('*')}, QDir::Files | QDir::Hidden)) {
            const QString note = folder.filePath(name);
            // A note cut short was written before any commit: its rows are all there.
            const QString of = name.left(removalNotePrefix.size() + 10);
            const bool cutShort = noteName.match(of).hasMatch() && platform::isWholeFileLeftover(name, of);
            if (cutShort || (noteName.match(name).hasMatch() && finishRemoval(note, all, now)))
                QFile::remove(note);
        }
        return false;
    });
    if (rows)
        sweepUnnamedThumbnails(*rows);
}

}  // namespace libraryfiles
