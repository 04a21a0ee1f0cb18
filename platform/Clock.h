// Local time from a calendar time, thread-safe on every platform.
#pragma once

#include <ctime>

namespace tessaly {

// False when the time cannot be represented.
bool ToLocalTime(std::time_t when, std::tm& out);

}  // namespace tessaly
