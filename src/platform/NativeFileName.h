#pragma once
#include <QByteArray>
#include <QString>
#include <QUrl>

namespace platform {
// The bytes of a file address's path as the file system holds them. A file manager hands a name
// that is not UTF-8 over as percent-encoded bytes ("caf%E9.mp4"), which QUrl keeps; its
// toLocalFile() and QFile::decodeName() put U+FFFD in place of such bytes, and no QString path
// leads back to the file. Empty for an address that is no local file.
QByteArray nativeFilePath(const QUrl& fileUrl);

// A file reached by its bytes, for code that opens paths given as text (QFile, FFmpeg). A name
// that survives the round trip through QString is used as it is; any other is opened once and
// reached through its descriptor under /proc/self/fd for as long as this object lives.
class FileByBytes {
public:
    explicit FileByBytes(const QByteArray& nativePath);
    ~FileByBytes();
    FileByBytes(const FileByBytes&) = delete;
    FileByBytes& operator=(const FileByBytes&) = delete;

    // Empty when a name that needs the descriptor could not be opened or is no regular file.
    QString path() const { return path_; }

private:
    int fd_ = -1;
    QString path_;
};
}  // namespace platform
