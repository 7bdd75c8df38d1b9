// Preloaded into a child: sends it SIGKILL right after the Nth call (TAVVEL_KILL_AT) of one file
// operation (TAVVEL_KILL_CALL: rename, renameat2, link, unlink, fsync or write; fdatasync counts
// as fsync, pwrite as write) on a path under TAVVEL_KILL_UNDER. With TAVVEL_KILL_NO_LINKS set,
// link fails as on a file system without hard links; with TAVVEL_KILL_NFS, a rename that must not
// replace fails as on NFS (EINVAL); with TAVVEL_KILL_FAIL_UNLINK, unlink fails (EACCES).
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static long calls;

static int under(const char* path) {
    const char* folder = getenv("TAVVEL_KILL_UNDER");
    return path && folder && strncmp(path, folder, strlen(folder)) == 0;
}

static int fdUnder(int fd) {
    char link[64];
    char path[4096];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = readlink(link, path, sizeof path - 1);
    if (n <= 0)
        return 0;
    path[n] = '\0';
    return under(path);
}

// Counts a call of `name` that touched the folder; kills the process at the chosen one.
static void counted(const char* name, int touched) {
    const char* chosen = getenv("TAVVEL_KILL_CALL");
    if (!touched || !chosen || strcmp(chosen, name) != 0)
        return;
    if (__atomic_add_fetch(&calls, 1, __ATOMIC_SEQ_CST) ==
        atol(getenv("TAVVEL_KILL_AT") ? getenv("TAVVEL_KILL_AT") : "0"))
        kill(getpid(), SIGKILL);
}

#define REAL(name, type) ((type)dlsym(RTLD_NEXT, name))

int rename(const char* from, const char* to) {
    const int rc = REAL("rename", int (*)(const char*, const char*))(from, to);
    counted("rename", under(from) || under(to));
    return rc;
}

int renameat2(int fromDirectory, const char* from, int toDirectory, const char* to, unsigned int flags) {
    if (getenv("TAVVEL_KILL_NFS") && (flags & RENAME_NOREPLACE)) {
        errno = EINVAL;
        return -1;
    }
    const int rc = REAL("renameat2", int (*)(int, const char*, int, const char*, unsigned int))(fromDirectory, from,
                                                                                                toDirectory, to, flags);
    counted("renameat2", under(from) || under(to));
    return rc;
}

int link(const char* from, const char* to) {
    if (getenv("TAVVEL_KILL_NO_LINKS") && under(to)) {
        errno = EPERM;
        return -1;
    }
    const int rc = REAL("link", int (*)(const char*, const char*))(from, to);
    counted("link", under(from) || under(to));
    return rc;
}

int unlink(const char* path) {
    if (getenv("TAVVEL_KILL_FAIL_UNLINK") && under(path)) {
        errno = EACCES;
        return -1;
    }
    const int rc = REAL("unlink", int (*)(const char*))(path);
    counted("unlink", under(path));
    return rc;
}

int fsync(int fd) {
    const int rc = REAL("fsync", int (*)(int))(fd);
    counted("fsync", fdUnder(fd));
    return rc;
}

int fdatasync(int fd) {
    const int rc = REAL("fdatasync", int (*)(int))(fd);
    counted("fsync", fdUnder(fd));
    return rc;
}

ssize_t write(int fd, const void* data, size_t size) {
    const ssize_t rc = REAL("write", ssize_t(*)(int, const void*, size_t))(fd, data, size);
    counted("write", fdUnder(fd));
    return rc;
}

ssize_t pwrite(int fd, const void* data, size_t size, off_t at) {
    const ssize_t rc = REAL("pwrite", ssize_t(*)(int, const void*, size_t, off_t))(fd, data, size, at);
    counted("write", fdUnder(fd));
    return rc;
}

ssize_t pwrite64(int fd, const void* data, size_t size, off_t at) {
    const ssize_t rc = REAL("pwrite64", ssize_t(*)(int, const void*, size_t, off_t))(fd, data, size, at);
    counted("write", fdUnder(fd));
    return rc;
}
