#pragma once

namespace platform {
// Gives the calling thread a stack of its own for signal handlers, unless it has one (the
// sanitizers make their own): a fatal-signal handler must still run after a stack overflow.
// Every thread the process starts gets one as it starts (the process's pthread_create passes
// through here once this file is linked in); the stack goes with its thread.
void ensureSignalStack();
}  // namespace platform
