// Tavvel's start-up with a version of the test's choosing, or a crash of a chosen kind:
//   tavvel_child SHORT BUILD [event|direct|signal|overflow|thread-overflow|pool-overflow|gaps]
#include "MainWindow/library/LocalLibraryIndex.h"
#include "MainWindow/startup/AppDelegate.h"
#include "MainWindow/startup/CrashReport.h"
#include "MainWindow/startup/TavvelApplication.h"
#include "platform/AppLauncher.h"
#include "platform/Bundle.h"

#include <QElapsedTimer>
#include <QThread>
#include <QThreadPool>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <memory>
#include <stdexcept>

namespace {
// Each call keeps a page of its own on the stack until none is left.
[[gnu::noinline]] int descend(int depth) {
    volatile char page[4096];
    page[0] = static_cast<char>(depth);
    if (depth == -1)
        return 0;
    return descend(depth + 1) + page[0];
}
}  // namespace

int main(int argc, char* argv[]) {
    if (argc < 3)
        return 2;
    platform::setMainBundle({QString::fromLatin1(argv[1]), QString::fromLatin1(argv[2]),
                             QString::fromLatin1(platform::kMainAppIdentifier)});
    const QByteArray mode = argc > 3 ? QByteArray(argv[3]) : QByteArray();
    TavvelApplication app(argc, argv);
    if (mode == "direct") {
        crash::installHandler();
        throw std::runtime_error("boom outside the loop");
    }
    if (mode == "signal") {
        crash::installHandler();
        std::raise(SIGSEGV);
    }
    if (mode == "overflow") {
        crash::installHandler();
        return descend(argc);
    }
    if (mode == "thread-overflow" || mode == "pool-overflow") {
        // As the program does: the handler first, the threads after.
        crash::installHandler();
        if (mode == "pool-overflow") {
            QThreadPool::globalInstance()->start([argc] { descend(argc); });
            QThreadPool::globalInstance()->waitForDone();
        } else {
            std::unique_ptr<QThread> worker(QThread::create([argc] { descend(argc); }));
            worker->start();
            worker->wait();
        }
        return 0;
    }
    // "gaps": the longest wait of the window's thread from here until a second after the start
    // began, then how many rows the window's view of the library holds, at once and on each change.
    QElapsedTimer clock;
    qint64 longest = 0;
    QTimer beat;
    if (mode == "gaps") {
        QObject::connect(&beat, &QTimer::timeout, [&] { longest = std::max(longest, clock.restart()); });
        clock.start();
        beat.start(5);
        QTimer::singleShot(1000, [&] {
            longest = std::max(longest, clock.elapsed());
            std::printf("start: longest gap %lld ms\n", static_cast<long long>(longest));
            LocalLibraryIndex& library = MainParts::make().library();
            const auto rows = [&library] {
                std::printf("library: %d rows\n", library.rows() ? int(library.rows()->size()) : -1);
                std::fflush(stdout);
            };
            QObject::connect(&library, &LocalLibraryIndex::changed, rows);
            library.refresh();
            rows();
        });
    }
    AppDelegate delegate(MainParts::make());
    if (!delegate.attachToApplication())
        return 0;
    if (mode == "event")
        QTimer::singleShot(300, [] { throw std::runtime_error("boom in the loop"); });
    return app.exec();
}
