#include "platform/FileSizeSignal.h"

#ifndef _WIN32
#include <signal.h>
#endif

namespace tessaly {

void IgnoreFileSizeSignal() {
#ifdef SIGXFSZ
    struct sigaction action {};
    action.sa_handler = SIG_IGN;
    sigemptyset(&action.sa_mask);
    sigaction(SIGXFSZ, &action, nullptr);
#endif
}

}  // namespace tessaly
