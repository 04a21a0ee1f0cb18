#include "app/CommandLine.h"

#include <algorithm>
#include <cctype>

#include "core/Version.h"

namespace tessaly {

namespace {

std::string Lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

#ifndef _WIN32
bool IsAutomationWord(const std::string& word) {
    return word == "regserver" || word == "register" || word == "unregserver" || word == "unregister" ||
           word == "automation" || word == "embedding";
}
#endif

// The switch word without its "/", "-" or "--"; empty for a non-switch.
// Outside Windows "/" starts every absolute path, so a "/" argument is a
// switch there only when it names one of the automation switches.
std::string SwitchWord(const std::string& arg) {
    if (arg.size() < 2 || (arg[0] != '/' && arg[0] != '-')) return {};
    const std::size_t skip = (arg[0] == '-' && arg[1] == '-') ? 2 : 1;
    std::string word = Lowered(arg.substr(skip));
#ifndef _WIN32
    if (arg[0] == '/' && !IsAutomationWord(word)) return {};
#endif
    return word;
}

StartRequest RequestFor(const std::string& word) {
    if (word == "regserver" || word == "register") return StartRequest::Register;
    if (word == "unregserver" || word == "unregister") return StartRequest::Unregister;
    if (word == "automation") return StartRequest::Automation;
    if (word == "embedding") return StartRequest::Embedding;
    if (word == "help" || word == "h" || word == "?") return StartRequest::Help;
    if (word == "version") return StartRequest::Version;
    return StartRequest::Unknown;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
    CommandLine result;
    bool decided = false;
    bool switchesEnded = false;
    for (const auto& arg : args) {
        if (!switchesEnded && arg == "--") {
            switchesEnded = true;
            continue;
        }
        const std::string word = switchesEnded ? std::string() : SwitchWord(arg);
        if (word.empty()) {
            result.archives.push_back(arg);
            continue;
        }
        if (decided) continue;
        decided = true;
        result.request = RequestFor(word);
        if (result.request == StartRequest::Unknown) result.offending = arg;
    }
    return result;
}

bool EndsAtOnce(StartRequest request) {
    return request != StartRequest::Run && request != StartRequest::Automation && request != StartRequest::Embedding;
}

int ExitCodeFor(StartRequest request) { return request == StartRequest::Unknown ? 2 : 0; }

std::string HelpText(const std::string& programName) {
    return "Usage: " + programName +
           " [--help] [--version] [ARCHIVE.zip...]\n"
           "\n"
           "Salvages the contents of damaged ZIP archives. Select the archives,\n"
           "choose Quick Repair or Advance Repair, preview what can be saved and\n"
           "save it into a new, time-stamped folder. Archives named here are put\n"
           "in the list at start.\n"
           "\n"
           "  --help        show this text and exit\n"
           "  --version     show the version and exit\n"
           "\n"
           "Automation switches (\"/\" or \"-\", any letter case) are accepted:\n"
           "/Automation and /Embedding start as usual, /RegServer and\n"
           "/UnregServer have nothing to do on this system and exit at once.\n"
           "\n"
           "Settings (FilePath, LogPath) are read from the file named by\n"
           "TESSALY_SETTINGS, then $XDG_CONFIG_HOME/tessaly-zip/settings.ini,\n"
           "then the system configuration folder's tessaly-zip/settings.ini.\n";
}

std::string VersionText() { return std::string("Tessaly for Zip ") + kProductVersion + "\n"; }

}  // namespace tessaly
