#include "core/EndProcess.h"

#include <cstdlib>

namespace tessaly {

void EndProcess() {
    // _Exit skips static destructors and atexit handlers, the same as the
    // process terminating itself; the operating system closes the files.
    std::_Exit(0);
}

}  // namespace tessaly
