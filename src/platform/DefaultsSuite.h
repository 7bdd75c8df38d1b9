#pragma once
#include <QString>
#include <QVariant>
#include <memory>
#include <mutex>
#include <optional>

class QSettings;

namespace platform {
// A user-defaults suite: one INI file of typed keys that several processes may share.
// Values written by another process come back as text, so reads convert by type.
// All calls are serialized; the object may be used from any thread.
class DefaultsSuite {
public:
    explicit DefaultsSuite(const QString& filePath);
    ~DefaultsSuite();
    DefaultsSuite(const DefaultsSuite&) = delete;
    DefaultsSuite& operator=(const DefaultsSuite&) = delete;

    // The program's own standard defaults: $XDG_CONFIG_HOME/<identifier>.ini.
    static DefaultsSuite& standard();

    QString filePath() const;
    bool isUsable() const;

    bool contains(const QString& key) const;
    QVariant object(const QString& key) const;                // invalid when missing
    qint64 integer(const QString& key) const;                 // 0 when missing or not a number
    float floatValue(const QString& key) const;               // 0.0 when missing
    double doubleValue(const QString& key) const;             // 0.0 when missing
    bool boolean(const QString& key) const;                   // false when missing
    std::optional<QString> string(const QString& key) const;  // absent when missing

    void setInteger(const QString& key, qint64 value);
    void setFloat(const QString& key, float value);
    void setDouble(const QString& key, double value);
    void setBool(const QString& key, bool value);
    void setObject(const QString& key, const QVariant& value);
    void remove(const QString& key);

    // Writes pending changes and re-reads the file. Every sync of every suite over the file
    // holds one lock, so no other program's write lands between a read and its stamp.
    bool synchronize();
    // The last sync could not write the file (a read-only folder, a full disk, a directory in
    // its place).
    bool writeFailed() const;
    // synchronize(), skipped when nothing is pending here and the file is the one last read
    // (same inode, size and modification time: QSettings replaces the file on every write).
    bool synchronizeIfChanged();

private:
    struct FileStamp {
        quint64 inode = 0;
        qint64 size = -1;
        qint64 mtimeNs = 0;
        bool operator==(const FileStamp&) const = default;
    };
    FileStamp stampLocked() const;
    // Moves the file's modification time on by one millisecond (content unchanged), so that every
    // QSettings over it reads it again at its next sync.
    static void nudgeModificationTime(const QString& path);
    bool synchronizeLocked();

    const QString path_;
    int syncLockFd_ = -1;  // "<file>.sync": flock'ed around every sync, by every process
    mutable std::mutex mutex_;
    std::unique_ptr<QSettings> settings_;
    bool dirty_ = true;
    FileStamp lastStamp_;
};
}  // namespace platform
