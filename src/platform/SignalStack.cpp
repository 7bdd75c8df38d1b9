#include "platform/SignalStack.h"

#include <dlfcn.h>
#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <new>

namespace platform {
namespace {
// Room for a handler that formats a report and walks the stack, sanitizer frames included.
size_t stackSize() {
    const long minimum = sysconf(_SC_MINSIGSTKSZ);
    return std::max<size_t>(64 * 1024, minimum > 0 ? size_t(minimum) * 4 : 0);
}

// The thread's own stack, if it made one; disabled and unmapped when the thread ends (also
// through pthread_exit, which skips whatever follows the start routine).
struct OwnStack {
    void* memory = nullptr;
    size_t size = 0;
    ~OwnStack() {
        if (!memory)
            return;
        stack_t off{};
        off.ss_flags = SS_DISABLE;
        sigaltstack(&off, nullptr);
        munmap(memory, size);
    }
};
thread_local OwnStack ownStack;

struct Start {
    void* (*routine)(void*);
    void* argument;
};

void* startWithSignalStack(void* raw) {
    const Start start = *static_cast<Start*>(raw);
    delete static_cast<Start*>(raw);
    ensureSignalStack();
    return start.routine(start.argument);
}
}  // namespace

void ensureSignalStack() {
    stack_t current{};
    if (sigaltstack(nullptr, &current) != 0 || !(current.ss_flags & SS_DISABLE))
        return;
    const size_t size = stackSize();
    void* memory = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
    if (memory == MAP_FAILED)
        return;
    stack_t stack{};
    stack.ss_sp = memory;
    stack.ss_size = size;
    if (sigaltstack(&stack, nullptr) != 0) {
        munmap(memory, size);
        return;
    }
    ownStack.memory = memory;
    ownStack.size = size;
}
}  // namespace platform

// Threads are made by Qt (QThread, its thread pools, D-Bus), by the libraries and by us; this
// one place sees each of them start. The real call is the next definition in the lookup order
// (a sanitizer's, when there is one, which then calls the C library's).
extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attributes, void* (*routine)(void*),
                              void* argument) {
    using Create = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
    static const Create real = reinterpret_cast<Create>(dlsym(RTLD_NEXT, "pthread_create"));
    auto* start = new (std::nothrow) platform::Start{routine, argument};
    if (!start)
        return real(thread, attributes, routine, argument);
    const int result = real(thread, attributes, platform::startWithSignalStack, start);
    if (result != 0)
        delete start;
    return result;
}
