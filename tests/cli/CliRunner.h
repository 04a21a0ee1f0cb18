// Runs the built tessaly-zip-cli with the given arguments and collects its
// exit status, standard output and standard error.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace tessaly::clitest {

struct CliRun {
    int status = -1;        // exit status; -1 when the tool did not exit normally
    std::string out;
    std::string err;
};

CliRun RunCli(const std::vector<std::string>& args);

// The lines of `text` that start with `prefix` after leading blanks.
std::vector<std::string> LinesStartingWith(const std::string& text, const std::string& prefix);

}  // namespace tessaly::clitest
