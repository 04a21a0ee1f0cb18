// Whether a standard stream is a terminal (for progress shown in place), and
// reading a line from the terminal without showing it (for passwords).
#pragma once

#include <cstdio>
#include <optional>
#include <string>

namespace tessaly {

bool IsTerminal(std::FILE* stream);

// Writes `prompt` to standard error and reads one line from standard input
// with echo turned off, restoring the terminal after. The line comes without
// its line end; nothing when standard input ends first, cannot be read, or
// an interrupt request (see Interrupt.h) arrives while it waits.
std::optional<std::string> ReadLineWithoutEcho(const std::string& prompt);

}  // namespace tessaly
