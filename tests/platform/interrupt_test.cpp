// Interrupt requests: Ctrl+C (SIGINT) and a termination request (SIGTERM)
// become the flag long work polls; the first request is the one kept. The
// command-line tests send real signals on POSIX systems; this one raises
// them in the process, so it runs on Windows too.
#include "platform/Interrupt.h"

#include <gtest/gtest.h>

#include <csignal>

namespace tessaly::platformtest {
namespace {

TEST(Interrupt, ARequestSetsTheFlagAndTheFirstOneIsKept) {
    CatchInterruptSignals();
    ASSERT_EQ(InterruptSignal(), 0);
    std::raise(SIGTERM);
    EXPECT_EQ(InterruptSignal(), SIGTERM);
    EXPECT_EQ(InterruptExitStatus(InterruptSignal()), 143);

    // One request resets the handler (a second one ends the process), so
    // it is caught again before the next.
    CatchInterruptSignals();
    std::raise(SIGINT);
    EXPECT_EQ(InterruptSignal(), SIGTERM);

    ClearInterrupt();
    CatchInterruptSignals();
    std::raise(SIGINT);
    EXPECT_EQ(InterruptSignal(), SIGINT);
    EXPECT_EQ(InterruptExitStatus(InterruptSignal()), 130);

    ClearInterrupt();
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
}

}  // namespace
}  // namespace tessaly::platformtest
