#include "platform/DefaultsSuite.h"

#include "platform/Bundle.h"
#include "platform/Paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <cmath>
#include <fcntl.h>
#include <sys/stat.h>

namespace platform {
DefaultsSuite::DefaultsSuite(const QString& filePath) : path_(filePath) {
    QDir().mkpath(QFileInfo(filePath).absolutePath());
    std::lock_guard lock(mutex_);
    const FileStamp before = stampLocked();
    settings_ = std::make_unique<QSettings>(filePath, QSettings::IniFormat);  // reads the file
    lastStamp_ = before;
    rereadIfWrittenDuringReadLocked(before);
}

DefaultsSuite::~DefaultsSuite() = default;

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
    // The stamp is taken before the read: a write by the other process that lands after the
    // read then differs from it and is read on the next call. Taken after, such a write would
    // match the stamp and stay unseen until the file changed again.
    const bool wrote = dirty_;
    lastStamp_ = stampLocked();
    settings_->sync();
    dirty_ = false;
    // A sync that writes holds the file's lock, so no other write can land inside it.
    if (!wrote)
        rereadIfWrittenDuringReadLocked(lastStamp_);
    return settings_->status() == QSettings::NoError;
}

void DefaultsSuite::rereadIfWrittenDuringReadLocked(const FileStamp& before) {
    // QSettings reads the file, then notes its size and time. A write by the other program in
    // between leaves the old view stamped as the new file: it is never read again, and our next
    // write puts the old keys back over the other program's. So a file that changed during the
    // read gets its time moved on (its content unchanged) and is read once more.
    if (stampLocked() == before)
        return;
    nudgeModificationTime(path_);
    lastStamp_ = stampLocked();
    settings_->sync();
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
}
