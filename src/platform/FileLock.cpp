#include "platform/FileLock.h"

#include "platform/Log.h"

#include <QFile>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
LockOutcome lockExclusive(int fd, bool wait) {
    const int operation = LOCK_EX | (wait ? 0 : LOCK_NB);
    int rc;
    while ((rc = ::flock(fd, operation)) != 0 && errno == EINTR) {
    }
    if (rc == 0)
        return LockOutcome::locked;
    const int error = errno;
    switch (error) {
    case EWOULDBLOCK: return LockOutcome::held;
    case EBADF:
        if (::fcntl(fd, F_GETFD) < 0)
            return LockOutcome::failed;  // no descriptor at all
        [[fallthrough]];
    case ENOLCK:
    case EOPNOTSUPP:
    case EINVAL: {
        static std::atomic_bool told = false;
        if (!told.exchange(true))
            logLine(QStringLiteral("file locks are not available here (") +
                    QString::fromLocal8Bit(std::strerror(error)) + QStringLiteral("): going on without them"));
        errno = error;
        return LockOutcome::unavailable;
    }
    default: break;
    }
    errno = error;
    return LockOutcome::failed;
}

bool renameNoReplace(const QString& from, const QString& to) {
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    if (::link(source.constData(), target.constData()) == 0) {
        if (::unlink(source.constData()) == 0)
            return true;
        // Still under its old name: the new one goes again, and the caller learns of it.
        const int error = errno;
        ::unlink(target.constData());
        errno = error;
        return false;
    }
    if (errno != EPERM && errno != EOPNOTSUPP)
        return false;
    struct stat there = {};
    if (::lstat(target.constData(), &there) == 0) {
        errno = EEXIST;
        return false;
    }
    return std::rename(source.constData(), target.constData()) == 0;
}
}  // namespace platform
