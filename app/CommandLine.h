// The program's command-line switches: the standard automation switches
// (register, unregister, automation, embedding; introduced by "/" or "-",
// any letter case) and the usual --help and --version.
//
// Parsing only: what each result leads to is decided by start-up.
#pragma once

#include <string>
#include <vector>

namespace tessaly {

enum class StartRequest {
    Run,         // no switch: start normally
    Automation,  // started for automation: go on as usual
    Embedding,   // started for embedding: go on as usual
    Register,    // nothing to register here: end at once
    Unregister,  // nothing to unregister here: end at once
    Help,        // print HelpText() and end
    Version,     // print VersionText() and end
    Unknown,     // an unknown switch: print the error and HelpText(), end with 2
};

struct CommandLine {
    StartRequest request = StartRequest::Run;
    std::string offending;  // the argument that made the request Unknown
};

// `args` are the arguments after the program name. The first switch that
// decides something wins; arguments that are not switches are ignored.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

// Whether the request ends start-up before any window opens, and the exit
// code it ends with.
bool EndsAtOnce(StartRequest request);
int ExitCodeFor(StartRequest request);

std::string HelpText(const std::string& programName);
std::string VersionText();

}  // namespace tessaly
