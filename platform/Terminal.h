// Whether a standard stream is a terminal (for progress shown in place), and
// reading a line from the terminal without showing it (for passwords).
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace tessaly {

bool IsTerminal(std::FILE* stream);

// Writes `prompt` to standard error and reads one line from standard input
// with echo turned off, restoring the terminal after. The line comes without
// its line end; nothing when standard input ends first, cannot be read, or
// an interrupt request (see Interrupt.h) arrives while it waits.
std::optional<std::string> ReadLineWithoutEcho(const std::string& prompt);

// The program's arguments as UTF-8. On Windows they are taken from the wide
// command line, since `argv` holds them in the ANSI code page, which loses
// every character it lacks.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// Makes a console show the UTF-8 the program writes (on Windows the console
// otherwise reads it in its OEM code page). Output to a file or a pipe stays
// UTF-8 everywhere.
void UseUtf8Console();

// For a program without a console of its own (a Windows GUI program): when
// it was started from a console and its output goes nowhere else, its
// standard output and error are sent to that console, so that --help and
// --version are seen. Does nothing elsewhere.
void UseParentConsole();

}  // namespace tessaly
