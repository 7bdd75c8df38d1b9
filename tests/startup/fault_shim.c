// Preloaded into the desktop player by a test: SIGUSR2 makes the process fault for real (a write
// to address 0, which the kernel answers with SIGSEGV), as a decoder's bad frame would.
#include <signal.h>

__attribute__((no_sanitize_undefined)) static void fault(int sig) {
    (void)sig;
    *(volatile int*)0 = 1;
}

__attribute__((constructor)) static void installFault(void) {
    signal(SIGUSR2, fault);
}
