// Writing past a file-size limit (ulimit -f, RLIMIT_FSIZE) raises SIGXFSZ,
// whose default action ends the process on the spot: no summary, no log
// line, no word of which file. Both programs ignore the signal at start-up,
// so such a write fails instead ("File too large", EFBIG) and is reported
// for the entry being written like any other write error. Windows has
// neither the limit nor the signal; there this does nothing.
#pragma once

namespace tessaly {

void IgnoreFileSizeSignal();

}  // namespace tessaly
