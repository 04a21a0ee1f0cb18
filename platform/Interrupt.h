// Interrupt requests (Ctrl+C, a termination request) turned into a flag that
// long work polls between blocks. The handler does nothing but set the flag;
// a second request of the same kind ends the process the default way.
#pragma once

namespace tessaly {

// Installs the handlers for SIGINT and SIGTERM.
void CatchInterruptSignals();

// The signal that asked to stop, or 0 while none has arrived.
int InterruptSignal() noexcept;

// The exit status a program stopped by `signal` reports: 128 + its number
// (130 for SIGINT, 143 for SIGTERM).
int InterruptExitStatus(int signal) noexcept;

// For tests: forget a request.
void ClearInterrupt() noexcept;

}  // namespace tessaly
