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
    // The arguments that are not switches (all of them after "--"), in
    // order: the archives to put in the list at start.
    std::vector<std::string> archives;
};

// `args` are the arguments after the program name. The first switch wins;
// the arguments that are not switches are the archives.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

// Whether the request ends start-up before any window opens, and the exit
// code it ends with.
bool EndsAtOnce(StartRequest request);
int ExitCodeFor(StartRequest request);

std::string HelpText(const std::string& programName);
std::string VersionText();

}  // namespace tessaly
