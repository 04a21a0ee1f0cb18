// Runs the built tessaly-zip-cli with the given arguments and collects its
// exit status, standard output and standard error.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/TempFolder.h"

namespace tessaly::clitest {

struct CliRun {
    int status = -1;  // exit status; -1 when the tool did not exit normally
    int signal = 0;   // the signal that ended it, when one did (where known)
    std::string out;
    std::string err;
};

CliRun RunCli(const std::vector<std::string>& args);

// Runs the tool, waits until `startedWhen` exists (the tool is at work), then
// sends it `signal` and collects what it printed and its exit status (-1 when
// it did not exit normally, or was killed because `startedWhen` never came).
#ifndef _WIN32
CliRun RunCliAndSignal(const std::vector<std::string>& args, const std::filesystem::path& startedWhen, int signal);

// Runs the tool under a file-size limit of `limit` bytes (RLIMIT_FSIZE, as
// `ulimit -f` sets it), SIGXFSZ at its default action.
CliRun RunCliUnderFileSizeLimit(const std::vector<std::string>& args, std::uint64_t limit);
#endif

// The lines of `text` that start with `prefix` after leading blanks.
std::vector<std::string> LinesStartingWith(const std::string& text, const std::string& prefix);

// Writes `bytes` as `name` in `folder`; returns the path as text for the
// command line.
std::string WriteZip(const testzip::TempFolder& folder, const std::string& name, const testzip::Bytes& bytes);

}  // namespace tessaly::clitest
