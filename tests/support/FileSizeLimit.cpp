#include "tests/support/FileSizeLimit.h"

#include "platform/FileSizeSignal.h"

#ifndef _WIN32
#include <sys/resource.h>
#endif

namespace tessaly::testzip {

#ifdef _WIN32

FileSizeLimit::FileSizeLimit(std::uint64_t) {}
FileSizeLimit::~FileSizeLimit() = default;

#else

FileSizeLimit::FileSizeLimit(std::uint64_t limit) {
    IgnoreFileSizeSignal();
    rlimit current{};
    if (getrlimit(RLIMIT_FSIZE, &current) != 0) return;
    savedSoft_ = current.rlim_cur;
    current.rlim_cur = static_cast<rlim_t>(limit);
    active_ = setrlimit(RLIMIT_FSIZE, &current) == 0;
}

FileSizeLimit::~FileSizeLimit() {
    if (!active_) return;
    rlimit current{};
    getrlimit(RLIMIT_FSIZE, &current);
    current.rlim_cur = static_cast<rlim_t>(savedSoft_);
    setrlimit(RLIMIT_FSIZE, &current);
}

#endif

}  // namespace tessaly::testzip
