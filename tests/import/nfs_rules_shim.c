// Preloaded into a process, applies on a local disk the rules of an NFS home: flock emulated by
// byte-range locks, so an exclusive one needs a descriptor open for writing (EBADF otherwise),
// and no rename that refuses to replace (EINVAL).
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>

int flock(int fd, int operation) {
    int (*real)(int, int) = (int (*)(int, int))dlsym(RTLD_NEXT, "flock");
    const int mode = fcntl(fd, F_GETFL);
    if ((operation & LOCK_EX) && mode >= 0 && (mode & O_ACCMODE) == O_RDONLY) {
        errno = EBADF;
        return -1;
    }
    return real(fd, operation);
}

int renameat2(int fromDirectory, const char* from, int toDirectory, const char* to, unsigned int flags) {
    int (*real)(int, const char*, int, const char*, unsigned int) = (int (*)(
        int, const char*, int, const char*, unsigned int))dlsym(RTLD_NEXT, "renameat2");
    if (flags & RENAME_NOREPLACE) {
        errno = EINVAL;
        return -1;
    }
    return real(fromDirectory, from, toDirectory, to, flags);
}
