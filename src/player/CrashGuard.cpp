#include "player/CrashGuard.h"

#include "platform/AppLauncher.h"
#include "platform/Paths.h"
#include "platform/SignalStack.h"
#include "platform/WallpaperProblem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <ctime>

namespace crashguard {
namespace {
constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
// Prepared on the main thread; the handler only reads them (it may not allocate or lock).
char recordFile[4096];
// Two buffers: the main thread fills the one not shown, then shows it, so a handler on another
// thread never reads a half-written sign.
char signs[2][128];
std::atomic<int> shown{-1};
std::atomic<bool> writing{false};
std::atomic<bool> written{false};
struct sigaction previous[sizeof kSignals / sizeof kSignals[0]];
// How long a thread that faults while another writes the record waits for it (several decoder
// threads fail on one bad frame together); a writer that hangs must not keep the process alive.
constexpr int kWaitForWriterMs = 3000;

void writeRecord() {
    const int index = shown.load();
    if (!recordFile[0] || index < 0 || !signs[index][0])
        return;
    const int fd = open(recordFile, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    const ssize_t ignored = write(fd, signs[index], strlen(signs[index]));
    (void)ignored;
    fsync(fd);
    close(fd);
}

// A fault of this process: raised by the kernel (a bad address, an illegal instruction), or
// abort() of its own. A signal another program sends (kill, sigqueue, tgkill) says nothing about
// the video.
bool raisedHere(const siginfo_t* info) {
    if (!info)
        return false;
    if (info->si_code > 0)
        return true;
    return info->si_code == SI_TKILL && info->si_pid == getpid();
}

void onFatalSignal(int sig, siginfo_t* info, void*) {
    if (!raisedHere(info)) {
        // Not ours to record: the signal goes on to what handled it before.
    } else if (!writing.exchange(true)) {
        writeRecord();
        written.store(true);
    } else {
        // Ending the process now would cut the first thread's write short.
        const timespec pause{0, 1000000};
        for (int waited = 0; waited < kWaitForWriterMs && !written.load(); ++waited)
            nanosleep(&pause, nullptr);
    }
    for (size_t i = 0; i < sizeof kSignals / sizeof kSignals[0]; ++i)
        if (kSignals[i] == sig)
            sigaction(sig, &previous[i], nullptr);
    sigset_t unblock;
    sigemptyset(&unblock);
    sigaddset(&unblock, sig);
    pthread_sigmask(SIG_UNBLOCK, &unblock, nullptr);
    raise(sig);
}
}  // namespace

QString recordPath() {
    return platform::crashRecordPath();
}

void install() {
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    const QString path = recordPath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QByteArray file = QFile::encodeName(path);
    if (size_t(file.size()) < sizeof recordFile)
        std::memcpy(recordFile, file.constData(), size_t(file.size()) + 1);
    platform::ensureSignalStack();
    struct sigaction action {};
    action.sa_sigaction = onFatalSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_ONSTACK | SA_SIGINFO;
    for (size_t i = 0; i < sizeof kSignals / sizeof kSignals[0]; ++i)
        sigaction(kSignals[i], &action, &previous[i]);
}

QString playingVideo() {
    const int index = shown.load();
    return index < 0 ? QString() : QString::fromLatin1(signs[index]);
}

void setPlayingVideo(const QString& sign) {
    const QByteArray bytes = sign.toLatin1().left(sizeof signs[0] - 1);
    const int next = shown.load() == 0 ? 1 : 0;
    std::memcpy(signs[next], bytes.constData(), size_t(bytes.size()) + 1);
    shown.store(next);
}

std::optional<QString> takeCrashedVideo() {
    QFile file(recordPath());
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QString sign = QString::fromLatin1(file.read(256)).trimmed();
    file.close();
    file.remove();
    if (sign.isEmpty())
        return std::nullopt;
    return sign;
}
}  // namespace crashguard
