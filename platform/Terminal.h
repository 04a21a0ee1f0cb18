// Whether a standard stream is a terminal (for progress shown in place).
#pragma once

#include <cstdio>

namespace tessaly {

bool IsTerminal(std::FILE* stream);

}  // namespace tessaly
