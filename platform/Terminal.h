// Whether a standard stream is a terminal (for progress shown in place).
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace tessaly {

bool IsTerminal(std::FILE* stream);

// The program's arguments as UTF-8. On Windows they are taken from the wide
// command line, since `argv` holds them in the ANSI code page, which loses
// every character it lacks.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// Makes a console show the UTF-8 the program writes (on Windows the console
// otherwise reads it in its OEM code page). Output to a file or a pipe stays
// UTF-8 everywhere.
void UseUtf8Console();

}  // namespace tessaly
