// Installs the crash record's writer, names SIGN (none when it is "-") as the video playing,
// then makes THREADS threads fault at the same moment; with none, says "ready" and waits for a
// signal from outside. Usage: crash_child SIGN THREADS
#include "player/CrashGuard.h"

#include <QCoreApplication>

#include <atomic>
#include <cstdio>
#include <unistd.h>
#include <thread>
#include <vector>

namespace {
// A real fault, which UndefinedBehaviorSanitizer would otherwise stop before it happens.
__attribute__((no_sanitize_undefined)) void fault() {
    *static_cast<volatile int*>(nullptr) = 1;
}
}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 3)
        return 2;
    crashguard::install();
    const QString sign = QString::fromLatin1(argv[1]);
    crashguard::setPlayingVideo(sign == QLatin1String("-") ? QString() : sign);
    const int count = std::atoi(argv[2]);
    if (count == 0) {
        std::puts("ready");
        std::fflush(stdout);
        for (;;)
            pause();
    }
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < count; ++i)
        threads.emplace_back([&] {
            ready.fetch_add(1);
            while (ready.load() < count) {
            }
            fault();
        });
    for (std::thread& thread : threads)
        thread.join();
    return 0;  // not reached
}
