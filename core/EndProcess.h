// Immediate exit of the whole program, for the "leave now" answers of the
// dialogs: no destructor, no file close, no log line runs after it.
#pragma once

namespace tessaly {

// Ends the process at once with exit code 0; never returns.
[[noreturn]] void EndProcess();

}  // namespace tessaly
