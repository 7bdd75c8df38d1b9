#!/usr/bin/python3
"""A pass-through file system that waits on every call, as a network home or a sleeping USB disk
does. Usage: slowfs.py ROOT MOUNTPOINT DELAY_MS [STAT_DELAY_MS]
Runs in the foreground until unmounted (fusermount -u MOUNTPOINT) or killed."""
import errno
import os
import sys
import time

from fusepy import FUSE, FuseOSError, Operations


class Slow(Operations):
    def __init__(self, root, delay, stat_delay):
        self.root = os.path.realpath(root)
        self.delay = delay
        self.stat_delay = stat_delay

    def _path(self, path):
        return os.path.join(self.root, path.lstrip('/'))

    def __call__(self, op, path, *args):
        time.sleep(self.stat_delay if op in ('getattr', 'access') else self.delay)
        if not hasattr(self, op):
            raise FuseOSError(errno.EFAULT)
        try:
            return getattr(self, op)(self._path(path), *args)
        except OSError as e:
            raise FuseOSError(e.errno or errno.EIO)

    def getattr(self, path, fh=None):
        st = os.lstat(path)
        return {k: getattr(st, k) for k in ('st_atime', 'st_ctime', 'st_gid', 'st_mode', 'st_mtime',
                                            'st_nlink', 'st_size', 'st_uid', 'st_ino')} | {
            'st_atime': st.st_atime_ns / 1e9, 'st_mtime': st.st_mtime_ns / 1e9, 'st_ctime': st.st_ctime_ns / 1e9}

    def access(self, path, mode):
        if not os.access(path, mode):
            raise FuseOSError(errno.EACCES)

    def readdir(self, path, fh):
        return ['.', '..'] + os.listdir(path)

    def readlink(self, path):
        return os.readlink(path)

    def statfs(self, path):
        st = os.statvfs(path)
        return {k: getattr(st, k) for k in ('f_bavail', 'f_bfree', 'f_blocks', 'f_bsize', 'f_favail', 'f_ffree',
                                            'f_files', 'f_flag', 'f_frsize', 'f_namemax')}

    def chmod(self, path, mode):
        os.chmod(path, mode)

    def mkdir(self, path, mode):
        os.mkdir(path, mode)

    def rmdir(self, path):
        os.rmdir(path)

    def unlink(self, path):
        os.unlink(path)

    def rename(self, old, new):
        os.rename(old, self._path(new))

    def utimens(self, path, times=None):
        os.utime(path, ns=None if times is None else tuple(int(t * 1e9) for t in times))

    def truncate(self, path, length, fh=None):
        os.truncate(path, length)

    def open(self, path, flags):
        return os.open(path, flags)

    def create(self, path, mode, fi=None):
        return os.open(path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, mode)

    def read(self, path, size, offset, fh):
        return os.pread(fh, size, offset)

    def write(self, path, data, offset, fh):
        return os.pwrite(fh, data, offset)

    def release(self, path, fh):
        os.close(fh)

    def fsync(self, path, datasync, fh):
        os.fsync(fh)


if __name__ == '__main__':
    root, mount, delay = sys.argv[1], sys.argv[2], float(sys.argv[3]) / 1000
    stat_delay = float(sys.argv[4]) / 1000 if len(sys.argv) > 4 else delay
    # No attribute or name cache in the kernel: every stat comes here and waits.
    FUSE(Slow(root, delay, stat_delay), mount, foreground=True, nothreads=False, allow_other=False,
         attr_timeout=0, entry_timeout=0, negative_timeout=0, nonempty=True)
