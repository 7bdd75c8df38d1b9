#include "MainWindow/startup/CrashReport.h"

#include "platform/Bundle.h"
#include "platform/Log.h"
#include "platform/Paths.h"
#include "platform/SignalStack.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include "platform/WholeFile.h"

#include <cxxabi.h>
#include <execinfo.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <exception>
#include <memory>

namespace crash {
namespace {
QString nullable(const std::optional<QString>& text) {
    return text.value_or(QStringLiteral("(null)"));
}

QStringList currentSymbols() {
    void* frames[128];
    const int count = backtrace(frames, 128);
    QStringList symbols;
    std::unique_ptr<char*, decltype(&std::free)> names(backtrace_symbols(frames, count), &std::free);
    for (int i = 0; names && i < count; ++i)
        symbols << QString::fromLocal8Bit(names.get()[i]);
    return symbols;
}

QString demangle(const char* name) {
    int status = 0;
    std::unique_ptr<char, decltype(&std::free)> readable(abi::__cxa_demangle(name, nullptr, nullptr, &status),
                                                         &std::free);
    return QString::fromLatin1(status == 0 && readable ? readable.get() : name);
}

double now() {
    return static_cast<double>(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
}

// Prepared by installHandler for the signal path, which may not allocate.
char signalDir[4096];
char signalHead[1024];  // the version block, completed with the signal's name and reason
std::atomic<bool> reported{false};
// Set once the signal path's report is on disk (or given up): a second thread's fatal signal
// waits for it, as its default action would end the process with the report half written.
std::atomic<bool> reportDone{false};

size_t appendText(char* buffer, size_t at, size_t size, const char* text) {
    while (*text && at + 1 < size)
        buffer[at++] = *text++;
    buffer[at] = '\0';
    return at;
}

size_t appendNumber(char* buffer, size_t at, size_t size, long long value) {
    char digits[24];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value > 0 && n < 23);
    while (n > 0 && at + 1 < size)
        buffer[at++] = digits[--n];
    buffer[at] = '\0';
    return at;
}

const char* signalName(int sig) {
    switch (sig) {
    case SIGSEGV: return "SIGSEGV";
    case SIGBUS: return "SIGBUS";
    case SIGFPE: return "SIGFPE";
    case SIGILL: return "SIGILL";
    case SIGABRT: return "SIGABRT";
    default: return "signal";
    }
}

bool writeAll(int fd, const char* text, size_t length) {
    while (length > 0) {
        const ssize_t n = write(fd, text, length);
        if (n <= 0)
            return false;
        text += n;
        length -= static_cast<size_t>(n);
    }
    return true;
}

void waitForReport() {
    // Bounded: a report that never ends must not keep a crashed process alive.
    for (int i = 0; i < 500 && !reportDone.load(); ++i) {
        timespec pause{0, 10 * 1000 * 1000};
        nanosleep(&pause, nullptr);
    }
}

void onFatalSignal(int sig) {
    if (reported.exchange(true)) {
        waitForReport();
    } else if (signalDir[0]) {
        timespec ts{};
        clock_gettime(CLOCK_REALTIME, &ts);
        const long long seconds = ts.tv_sec + (ts.tv_nsec >= 500000000L ? 1 : 0);
        char target[4200];
        size_t n = appendText(target, 0, sizeof target, signalDir);
        n = appendText(target, n, sizeof target, "/");
        n = appendNumber(target, n, sizeof target, seconds);
        char temporary[4300];
        size_t t = appendText(temporary, 0, sizeof temporary, target);
        t = appendText(temporary, t, sizeof temporary, ".txt.part");
        appendText(target, n, sizeof target, ".txt");
        const int fd = open(temporary, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd >= 0) {
            const char* name = signalName(sig);
            bool written = writeAll(fd, name, strlen(name)) && writeAll(fd, "\n\n(null)\n\n", 10) &&
                           writeAll(fd, signalHead, strlen(signalHead)) && writeAll(fd, "Fatal signal ", 13) &&
                           writeAll(fd, name, strlen(name)) && writeAll(fd, "\n\n", 2);
            if (written) {
                void* frames[128];
                backtrace_symbols_fd(frames, backtrace(frames, 128), fd);
                // That writer ends every symbol with a line feed; the report has none after the last.
                const off_t end = lseek(fd, 0, SEEK_END);
                char last = 0;
                if (end > 0 && lseek(fd, end - 1, SEEK_SET) == end - 1 && read(fd, &last, 1) == 1 && last == '\n')
                    written = ftruncate(fd, end - 1) == 0;
            }
            written = fsync(fd) == 0 && written;
            close(fd);
            // A report cut short by a full disk is not one: the old file of that name stays.
            if (!written || rename(temporary, target) != 0)
                unlink(temporary);
        }
    }
    reportDone.store(true);
    // The default action ends the process with the signal, as it would have without us.
    signal(sig, SIG_DFL);
    sigset_t unblock;
    sigemptyset(&unblock);
    sigaddset(&unblock, sig);
    pthread_sigmask(SIG_UNBLOCK, &unblock, nullptr);
    raise(sig);
}

// A report whose writing was cut short (the machine went down, or a killed process): its
// beginning still tells what crashed, so it is kept under its final name when that is free.
void completePartialReports(const QDir& folder) {
    static const QRegularExpression partName(QStringLiteral("^([0-9]{1,20}\\.txt)\\.part$"));
    for (const QString& name : folder.entryList({QStringLiteral("*.txt.part")}, QDir::Files | QDir::Hidden)) {
        const QRegularExpressionMatch match = partName.match(name);
        const QString path = folder.filePath(name);
        if (!match.hasMatch())
            continue;
        const QString target = folder.filePath(match.captured(1));
        if (QFileInfo(path).size() == 0 || QFileInfo::exists(target) || !QFile::rename(path, target))
            QFile::remove(path);
    }
}
}  // namespace

QString formatReport(const Report& report) {
    const QString versionLine = QStringLiteral("version: %1.%2")
                                    .arg(nullable(report.shortVersion), nullable(report.build));
    return report.name + QStringLiteral("\n\n") + nullable(report.userInfo) + QStringLiteral("\n\n") + versionLine +
           QStringLiteral("\n\n") + report.reason + QStringLiteral("\n\n") + report.symbols.join(u'\n');
}

QString fileName(double secondsSince1970) {
    return QString::asprintf("%.0f.txt", secondsSince1970);
}

QString directory() {
    const QString identifier = platform::mainBundle().identifier.value_or(QStringLiteral("Tavvel"));
    const QString caches = platform::ownCachesDirectory(identifier);
    if (caches.isEmpty())
        return {};
    return QDir(caches).filePath(QStringLiteral("Crash"));
}

QStringList reportsToUpload(const QString& dir) {
    static const QRegularExpression reportName(QStringLiteral("^[0-9]{1,20}\\.txt$"));
    QStringList reports;
    const QDir folder(dir);
    completePartialReports(folder);
    for (const QString& name :
         folder.entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot)) {
        struct stat status {};
        const QString path = folder.filePath(name);
        if (reportName.match(name).hasMatch() && lstat(QFile::encodeName(path).constData(), &status) == 0 &&
            S_ISREG(status.st_mode))
            reports << path;
    }
    // Newest first: a longer number is a later second.
    std::sort(reports.begin(), reports.end(), [](const QString& a, const QString& b) {
        const QString x = QFileInfo(a).completeBaseName(), y = QFileInfo(b).completeBaseName();
        return x.size() != y.size() ? x.size() > y.size() : x > y;
    });
    QStringList kept;
    for (const QString& path : reports) {
        const bool tooLarge = QFileInfo(path).size() > kMaxReportBytes;
        if (!tooLarge && kept.size() < kMaxKeptReports) {
            kept << path;
            continue;
        }
        platform::logLine(QStringLiteral("Removed crash file %1: %2")
                              .arg(QFileInfo(path).fileName(),
                                   tooLarge ? QStringLiteral("too large") : QStringLiteral("too many reports")));
        QFile::remove(path);
    }
    return kept;
}

bool writeReport(const QString& dir, const Report& report, double secondsSince1970) {
    if (dir.isEmpty() || !QDir().mkpath(dir))
        return false;
    return platform::writeWholeFile(QDir(dir).filePath(fileName(secondsSince1970)), formatReport(report).toUtf8());
}

void handler() {
    Report report;
    const platform::BundleInfo bundle = platform::mainBundle();
    report.shortVersion = bundle.shortVersion;
    report.build = bundle.build;
    if (std::exception_ptr current = std::current_exception()) {
        const std::type_info* type = abi::__cxa_current_exception_type();
        report.name = type ? demangle(type->name()) : QStringLiteral("unknown exception");
        try {
            std::rethrow_exception(current);
        } catch (const std::exception& e) {
            report.reason = QString::fromUtf8(e.what());
        } catch (...) {
        }
    } else {
        report.name = QStringLiteral("std::terminate");
        report.reason = QStringLiteral("terminate called without an active exception");
    }
    report.symbols = currentSymbols();
    if (!reported.exchange(true))
        writeReport(directory(), report, now());
    // abort() must not write a second report through the signal path.
    signal(SIGABRT, SIG_DFL);
    std::abort();
}

void installHandler() {
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    const QByteArray dir = QDir(directory()).absolutePath().toLocal8Bit();
    if (!directory().isEmpty() && static_cast<size_t>(dir.size()) < sizeof signalDir) {
        QDir().mkpath(directory());
        std::memcpy(signalDir, dir.constData(), static_cast<size_t>(dir.size()) + 1);
    }
    const platform::BundleInfo bundle = platform::mainBundle();
    const QByteArray head = QStringLiteral("version: %1.%2\n\n")
                                .arg(nullable(bundle.shortVersion), nullable(bundle.build))
                                .toUtf8()
                                .left(sizeof signalHead - 1);
    std::memcpy(signalHead, head.constData(), static_cast<size_t>(head.size()) + 1);
    // The first backtrace loads the unwinder; doing it now keeps the signal path free of that.
    void* frame[1];
    backtrace(frame, 1);

    std::set_terminate(handler);
    // This thread's stack for the handler; every thread started later gets its own as it starts.
    platform::ensureSignalStack();
    struct sigaction action {};
    action.sa_handler = onFatalSignal;
    sigemptyset(&action.sa_mask);
    // Not reset on entry: a second thread's crash must reach the handler and wait there.
    action.sa_flags = SA_ONSTACK;
    for (int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT})
        sigaction(sig, &action, nullptr);
}
}  // namespace crash
