#pragma once
#include <QString>

namespace platform {
// How an exclusive flock ended.
enum class LockOutcome {
    locked,       // held until the descriptor's last copy is closed
    held,         // another open file holds it (only without waiting)
    unavailable,  // the file system has no locks for it; carry on without one
    failed,       // any other error (errno tells)
};

// flock(fd, LOCK_EX), waiting for the holder unless `wait` is false, again after a signal. The
// NFS client turns flock into a byte-range lock, which a descriptor not open for writing cannot
// take (EBADF), and some mounts have no lock service at all (ENOLCK, EOPNOTSUPP, EINVAL): those
// give `unavailable`, logged once per process, so a network home still works, unguarded.
LockOutcome lockExclusive(int fd, bool wait = true);

// Gives `from` the name `to` unless something is at `to` (false with errno EEXIST then). Where
// the file system has no rename that cannot replace (NFS, CIFS: EINVAL), a hard link under the
// new name and the old name's removal; where it has no hard links either, a look and a rename,
// which a caller on a shared folder must guard with a lock of its own.
bool renameNoReplace(const QString& from, const QString& to);
}  // namespace platform
