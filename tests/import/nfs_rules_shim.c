// Preloaded into a process, applies on a local disk the rules of an NFS home: flock emulated by
// byte-range locks, so an exclusive one needs a descriptor open for writing (EBADF otherwise),
// and no rename that refuses to replace (EINVAL). With NFS_RULES_NO_LOCKS set the mount has no
// lock service (ENOLCK); NFS_RULES_CLOCK_AHEAD=<seconds> sets this machine's clock that far
// ahead of the server's, which stamps the files.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/time.h>
#include <time.h>

int clock_gettime(clockid_t clock, struct timespec* now) {
    int (*real)(clockid_t, struct timespec*) = (int (*)(clockid_t, struct timespec*))dlsym(RTLD_NEXT, "clock_gettime");
    const int result = real(clock, now);
    const char* ahead = getenv("NFS_RULES_CLOCK_AHEAD");
    if (result == 0 && ahead && clock == CLOCK_REALTIME)
        now->tv_sec += atol(ahead);
    return result;
}

int gettimeofday(struct timeval* now, void* zone) {
    int (*real)(struct timeval*, void*) = (int (*)(struct timeval*, void*))dlsym(RTLD_NEXT, "gettimeofday");
    const int result = real(now, zone);
    const char* ahead = getenv("NFS_RULES_CLOCK_AHEAD");
    if (result == 0 && ahead)
        now->tv_sec += atol(ahead);
    return result;
}

int flock(int fd, int operation) {
    int (*real)(int, int) = (int (*)(int, int))dlsym(RTLD_NEXT, "flock");
    if (getenv("NFS_RULES_NO_LOCKS")) {
        errno = ENOLCK;
        return -1;
    }
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
