#include "platform/NativeFileName.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

QByteArray nativeFilePath(const QUrl& fileUrl) {
    if (!fileUrl.isLocalFile())
        return {};
    QByteArray bytes = QByteArray::fromPercentEncoding(fileUrl.path(QUrl::FullyEncoded).toLatin1());
    // A name in UTF-8 goes the usual way, which also follows the locale's file-name encoding.
    if (QString::fromUtf8(bytes).toUtf8() == bytes)
        return QFile::encodeName(fileUrl.toLocalFile());
    if (!fileUrl.host().isEmpty())
        bytes.prepend("//" + fileUrl.host(QUrl::FullyEncoded).toLatin1());
    return bytes;
}

FileByBytes::FileByBytes(const QByteArray& nativePath) {
    const QString text = QFile::decodeName(nativePath);
    if (QFile::encodeName(text) == nativePath) {
        path_ = text;
        return;
    }
    // Not blocking on a FIFO; only a regular file is kept.
    fd_ = ::open(nativePath.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat status {};
    if (fd_ < 0 || ::fstat(fd_, &status) != 0 || !S_ISREG(status.st_mode))
        return;
    path_ = QStringLiteral("/proc/self/fd/%1").arg(fd_);
}

FileByBytes::~FileByBytes() {
    if (fd_ >= 0)
        ::close(fd_);
}

}  // namespace platform
