#include "platform/Interrupt.h"

#include <atomic>
#include <csignal>

#ifndef _WIN32
#include <signal.h>
#endif

namespace tessaly {

namespace {
std::atomic<int> requested{0};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs a lock-free flag");

extern "C" void OnInterruptSignal(int signal) {
    // The first request is the one answered. (Windows resets the handler
    // before calling it, so there too the next request ends the process.)
    int none = 0;
    requested.compare_exchange_strong(none, signal);
}
}  // namespace

#ifdef _WIN32

void CatchInterruptSignals() {
    std::signal(SIGINT, OnInterruptSignal);
    std::signal(SIGTERM, OnInterruptSignal);
}

#else

void CatchInterruptSignals() {
    struct sigaction action {};
    action.sa_handler = OnInterruptSignal;
    sigemptyset(&action.sa_mask);
    // Interrupted system calls restart, so no read or write in progress
    // fails for it; the second request takes the default action.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

#endif

int InterruptSignal() noexcept { return requested.load(std::memory_order_relaxed); }

int InterruptExitStatus(int signal) noexcept { return 128 + signal; }

void ClearInterrupt() noexcept { requested.store(0); }

}  // namespace tessaly
