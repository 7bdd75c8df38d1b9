#pragma once
#include <functional>

namespace platform {
// Queues work on the main thread's event loop (the Linux form of the main dispatch queue).
void runOnMainThread(std::function<void()> work);
bool isMainThread();
}  // namespace platform
