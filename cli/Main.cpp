// tessaly-zip-cli: lists and salvages the entries of damaged ZIP archives
// from a terminal, through the same archive layer as the desktop program.
#include <cstdio>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/Passwords.h"
#include "platform/FileSizeSignal.h"
#include "platform/Interrupt.h"
#include "platform/Terminal.h"

using namespace tessaly::cli;

namespace {

int UsageError(const std::string& error) {
    std::fprintf(stderr, "tessaly-zip-cli: %s\nTry 'tessaly-zip-cli --help'.\n", error.c_str());
    return 2;
}

// The password file's, or a prompt when standard input is a terminal, or
// none (encrypted entries are then left out).
std::unique_ptr<tessaly::PasswordSource> MakePasswordSource(const CliOptions& options, std::string& error) {
    if (!options.passwordFile.empty()) {
        std::optional<std::string> password = ReadPasswordFile(options.passwordFile, error);
        if (!password) return nullptr;
        return std::make_unique<FilePassword>(std::move(*password));
    }
    if (tessaly::IsTerminal(stdin)) return std::make_unique<PromptPassword>();
    return nullptr;
}

int RunCommand(const CliOptions& options) {
    std::string error;
    const std::unique_ptr<tessaly::PasswordSource> passwords = MakePasswordSource(options, error);
    if (!error.empty()) return UsageError(error);
    tessaly::CatchInterruptSignals();
    const auto writer = options.json ? MakeJsonWriter(options.command, options.repairMode, stdout, stderr)
                                     : MakeTextWriter(options.command, options.repairMode, stdout, stderr);
    ProgressLine progress(stderr, tessaly::IsTerminal(stderr), tessaly::IsTerminal(stdout));
    switch (options.command) {
        case Command::List: return RunList(options, *writer, progress, passwords.get());
        case Command::Repair: return RunRepair(options, *writer, progress, passwords.get());
        default: return RunExtract(options, *writer, progress, passwords.get());
    }
}

}  // namespace

int main(int argc, char** argv) {
    tessaly::IgnoreFileSizeSignal();
    tessaly::UseUtf8Console();
    const std::vector<std::string> arguments = tessaly::ProgramArguments(argc, argv);
    const ParseResult parsed = ParseCommandLine(
        arguments.empty() ? arguments : std::vector<std::string>(arguments.begin() + 1, arguments.end()));
    if (!parsed.ok) return UsageError(parsed.error);
    switch (parsed.options.command) {
        case Command::Help: std::fputs(UsageText().c_str(), stdout); return 0;
        case Command::Version: std::fputs(VersionText().c_str(), stdout); return 0;
        default: break;
    }
    try {
        return RunCommand(parsed.options);
    } catch (const std::exception& fault) {
        std::fflush(stdout);
        std::fprintf(stderr, "tessaly-zip-cli: %s\n", fault.what());
        return 2;
    }
}
