#include "platform/SystemError.h"

#include <system_error>

#ifdef _WIN32
#include <windows.h>
#endif

namespace tessaly {

std::string SystemErrorText(int osError) {
    std::string text = std::system_category().message(osError);
    // Windows ends its texts with a full stop and a line end.
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.'))
        text.pop_back();
    return text;
}

bool IsSharingViolation(int osError) {
#ifdef _WIN32
    return osError == ERROR_SHARING_VIOLATION || osError == ERROR_LOCK_VIOLATION;
#else
    (void)osError;
    return false;
#endif
}

}  // namespace tessaly
