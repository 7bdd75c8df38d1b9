#include "service/LibraryFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryFile>
#include <QUrl>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/FileLock.h"
#include "platform/Log.h"
#include "shared/AppInfo.h"
#include "shared/LocalVideoDBManager.h"

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

void sweepUnnamedThumbnails(LocalVideoDBManager& database) {
    if (database.databasePath() != LocalVideoDBManager::defaultPath())
        return;  // the pictures belong to the library at the usual place
    // Read inside the write transaction, which goes on only once every row has been read and
    // changes nothing here; after a repair the rows left in the set-aside file keep theirs.
    std::optional<std::vector<VideoDetail>> rows;
    database.deleteVideos([&](const std::vector<VideoDetail>& all, const LocalVideoDBManager::DeleteRows&) {
        if (!database.setAsidePath())
            rows = all;
        return false;
    });
    if (rows)
        sweepUnnamedThumbnails(*rows);
}

}  // namespace libraryfiles
