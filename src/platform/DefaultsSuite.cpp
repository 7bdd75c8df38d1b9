#include "platform/DefaultsSuite.h"

#include "platform/Bundle.h"
#include "platform/FileLock.h"
#include "platform/Paths.h"

#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {
// QSettings writes changes by itself from the event loop of the thread that made it, whatever
// thread changed them: a change made on a worker would then be written on the window's thread.
// Every write here goes through synchronize(), on the caller's thread.
class ExplicitSettings : public QSettings {
public:
    using QSettings::QSettings;

protected:
    bool event(QEvent* event) override {
        if (event->type() == QEvent::UpdateRequest)
            return true;
        return QSettings::event(event);
    }
};

// Holds the suite's sync lock for one scope. The kernel drops it when a process dies.
class SyncLock {
public:
    explicit SyncLock(int fd) : fd_(fd) {
        if (fd_ >= 0 && lockExclusive(fd_) != LockOutcome::locked)
            fd_ = -1;  // nothing to release
    }
    ~SyncLock() {
        if (fd_ >= 0)
            ::flock(fd_, LOCK_UN);
    }
    SyncLock(const SyncLock&) = delete;
    SyncLock& operator=(const SyncLock&) = delete;

private:
    int fd_;
};
}  // namespace

DefaultsSuite::DefaultsSuite(const QString& filePath) : path_(filePath) {
    QDir().mkpath(QFileInfo(filePath).absolutePath());
    syncLockFd_ = ::open(QFile::encodeName(filePath + QStringLiteral(".sync")).constData(),
                         O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    std::lock_guard lock(mutex_);
    const SyncLock syncLock(syncLockFd_);
    settings_ = std::make_unique<ExplicitSettings>(filePath, QSettings::IniFormat);  // reads the file
    lastStamp_ = stampLocked();
}

DefaultsSuite::~DefaultsSuite() {
    if (syncLockFd_ >= 0)
        ::close(syncLockFd_);
}

DefaultsSuite& DefaultsSuite::standard() {
    static DefaultsSuite suite([] {
        const QString id = mainBundle().identifier.value_or(QStringLiteral("Tavvel"));
        return QDir(configDirectory()).filePath(id + QStringLiteral(".ini"));
    }());
    return suite;
}

QString DefaultsSuite::filePath() const {
    std::lock_guard lock(mutex_);
    return settings_->fileName();
}

bool DefaultsSuite::isUsable() const {
    std::lock_guard lock(mutex_);
    return settings_->status() != QSettings::FormatError;
}

bool DefaultsSuite::contains(const QString& key) const {
    std::lock_guard lock(mutex_);
    return settings_->contains(key);
}

QVariant DefaultsSuite::object(const QString& key) const {
    std::lock_guard lock(mutex_);
    return settings_->value(key);
}

qint64 DefaultsSuite::integer(const QString& key) const {
    const QVariant v = object(key);
    if (!v.isValid())
        return 0;
    bool ok = false;
    const qint64 i = v.toLongLong(&ok);
    if (ok)
        return i;
    // A number written as a fraction: truncate, like the platform's integer reader.
    const double d = v.toDouble(&ok);
    if (ok && std::isfinite(d) && std::fabs(d) < 9.2e18)
        return qint64(d);
    return 0;
}

float DefaultsSuite::floatValue(const QString& key) const {
    return float(doubleValue(key));
}

double DefaultsSuite::doubleValue(const QString& key) const {
    const QVariant v = object(key);
    if (!v.isValid())
        return 0.0;
    bool ok = false;
    const double d = v.toDouble(&ok);
    return ok ? d : 0.0;
}

bool DefaultsSuite::boolean(const QString& key) const {
    const QVariant v = object(key);
    if (!v.isValid())
        return false;
    if (v.typeId() == QMetaType::QString) {
        const QString s = v.toString().trimmed().toLower();
        if (s == QLatin1String("true") || s == QLatin1String("yes"))
            return true;
        bool ok = false;
        const double d = s.toDouble(&ok);
        return ok && d != 0.0;
    }
    return v.toBool();
}

std::optional<QString> DefaultsSuite::string(const QString& key) const {
    const QVariant v = object(key);
    if (!v.isValid())
        return std::nullopt;
    return v.toString();
}

void DefaultsSuite::setInteger(const QString& key, qint64 value) {
    std::lock_guard lock(mutex_);
    dirty_ = true;
    settings_->setValue(key, value);
}

void DefaultsSuite::setFloat(const QString& key, float value) {
    setDouble(key, double(value));
}

void DefaultsSuite::setDouble(const QString& key, double value) {
    std::lock_guard lock(mutex_);
    dirty_ = true;
    settings_->setValue(key, value);
}

void DefaultsSuite::setBool(const QString& key, bool value) {
    std::lock_guard lock(mutex_);
    dirty_ = true;
    settings_->setValue(key, value);
}

void DefaultsSuite::setObject(const QString& key, const QVariant& value) {
    std::lock_guard lock(mutex_);
    dirty_ = true;
    if (value.isValid())
        settings_->setValue(key, value);
    else
        settings_->remove(key);
}

void DefaultsSuite::remove(const QString& key) {
    std::lock_guard lock(mutex_);
    dirty_ = true;
    settings_->remove(key);
}

DefaultsSuite::FileStamp DefaultsSuite::stampLocked() const {
    struct stat st {};
    if (::stat(QFile::encodeName(path_).constData(), &st) != 0)
        return {};
    return {quint64(st.st_ino), qint64(st.st_size), qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

void DefaultsSuite::nudgeModificationTime(const QString& path) {
    struct stat st {};
    const QByteArray native = QFile::encodeName(path);
    if (::stat(native.constData(), &st) != 0)
        return;
    timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1] = st.st_mtim;
    times[1].tv_nsec += 1000000;  // one millisecond: QSettings compares milliseconds
    if (times[1].tv_nsec >= 1000000000) {
        times[1].tv_nsec -= 1000000000;
        ++times[1].tv_sec;
    }
    ::utimensat(AT_FDCWD, native.constData(), times, 0);
}

bool DefaultsSuite::synchronizeLocked() {
    const SyncLock syncLock(syncLockFd_);
    // QSettings notices a change by size and millisecond time alone: a file rewritten within the
    // same millisecond at the same size would keep our old view for good, and our next write
    // would put the old keys back over the other program's. The nanosecond stamp sees it; moving
    // the time on makes QSettings read the file for real.
    const FileStamp now = stampLocked();
    if (now != lastStamp_ && now.size == lastStamp_.size && now.mtimeNs / 1000000 == lastStamp_.mtimeNs / 1000000)
        nudgeModificationTime(path_);
    // QSettings' own lock file, left by a process killed while it wrote (the player crashing, say):
    // while its owner can still be seen (not yet reaped), QSettings waits 30 s for it to go
    // stale, on the GUI thread. Every writer holds the sync lock around its write, so one found
    // here belongs to nobody.
    if (syncLockFd_ >= 0)
        QFile::remove(path_ + QStringLiteral(".lock"));
    settings_->sync();
    dirty_ = false;
    // Under the lock nobody else writes: this is the file QSettings just read or wrote.
    lastStamp_ = stampLocked();
    return settings_->status() == QSettings::NoError;
}

bool DefaultsSuite::writeFailed() const {
    std::lock_guard lock(mutex_);
    return settings_->status() == QSettings::AccessError;
}

bool DefaultsSuite::synchronize() {
    std::lock_guard lock(mutex_);
    return synchronizeLocked();
}

bool DefaultsSuite::synchronizeIfChanged() {
    std::lock_guard lock(mutex_);
    if (!dirty_ && stampLocked() == lastStamp_)
        return true;
    return synchronizeLocked();
}
}  // namespace platform
