#include "cli/OutputFolders.h"

#include <set>
#include <string>

#include "platform/FileSystem.h"

namespace tessaly::cli {
namespace {

// The archive's file name without its last extension; "archive" when that
// leaves nothing usable as a folder name ("", ".", "..").
std::string FolderNameFor(const std::filesystem::path& archive) {
    std::string name = PathToUtf8(archive.filename());
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    if (name.empty() || name == "." || name == "..") name = "archive";
    return name;
}

// "name", or "name (2)", "name (3)"... when an earlier archive took it.
// Compared without case, so the folders stay distinct on Windows too.
std::string DistinctName(const std::string& name, std::set<std::string>& taken) {
    const auto key = [](std::string text) {
        for (char& c : text)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        return text;
    };
    std::string candidate = name;
    for (int n = 2; taken.count(key(candidate)) > 0; ++n) candidate = name + " (" + std::to_string(n) + ")";
    taken.insert(key(candidate));
    return candidate;
}

}  // namespace

std::vector<std::filesystem::path> OutputFolders(const std::filesystem::path& destination,
                                                 const std::vector<std::filesystem::path>& archives) {
    if (archives.size() == 1) return {destination};
    std::vector<std::filesystem::path> folders;
    std::set<std::string> taken;
    for (const auto& archive : archives)
        folders.push_back(destination / PathFromUtf8(DistinctName(FolderNameFor(archive), taken)));
    return folders;
}

}  // namespace tessaly::cli
