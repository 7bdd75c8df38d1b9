// import_race_child [--memory] <file>...: once a line comes on standard input, imports the files
// one after another without asking the service, then exits. Two of them on the same folders are
// two programs importing the samples at once. With --memory it prints, per file, its result and
// the resident memory at rest before it and at the import's peak ("complete 51200 60416", kB).
#include "service/LocalLibraryModel.h"
#include "service/WebModel.h"
#include "shared/LocalVideoDBManager.h"

#include <QCoreApplication>
#include <QFile>
#include <cstdio>
#include <iostream>

namespace {
// A field of /proc/self/status in kB ("VmRSS", "VmHWM"); 0 when it cannot be read.
long statusKb(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field) && line.mid(static_cast<qsizetype>(qstrlen(field))).startsWith(':'))
            return line.mid(static_cast<qsizetype>(qstrlen(field)) + 1).trimmed().split(' ').first().toLong();
    return 0;
}

// Starts a new peak: VmHWM falls back to the present resident size (Linux 4.0 and later).
void resetPeak() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}
}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList files = app.arguments().mid(1);
    const bool memory = !files.isEmpty() && files.first() == QStringLiteral("--memory");
    if (memory)
        files.removeFirst();
    WebModel web(QStringLiteral("http://127.0.0.1:9"), /*startTimers=*/false);
    LocalLibraryModel library(web, LocalVideoDBManager::shared());
    std::printf("ready\n");
    std::fflush(stdout);
    std::string go;
    std::getline(std::cin, go);
    long rest = 0;
    std::function<void()> next = [&] {
        if (files.isEmpty())
            return app.exit(0);
        if (memory) {
            rest = statusKb("VmRSS");
            resetPeak();
        }
        library.importVideo(
            QUrl::fromLocalFile(files.takeFirst()), false, [&](const QString&, ImportVideoStatus status) {
                if (memory) {
                    std::printf("%s %ld %ld\n", status == ImportVideoStatus::complete ? "complete" : "failed", rest,
                                statusKb("VmHWM"));
                    std::fflush(stdout);
                }
                next();
            });
    };
    next();
    return app.exec();
}
