#pragma once

namespace platform {
// For benchmarks: where TAVVEL_WAIT_LOG names a file, a 10 ms timer on the main thread appends
// every gap between its ticks over 20 ms, as "<wall-clock end in ms> <gap in ms>" lines, so a
// run can tell how long the thread could not answer. Does nothing without the variable.
void startWaitProbe();
}  // namespace platform
