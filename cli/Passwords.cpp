#include "cli/Passwords.h"

#include <fstream>

#include "cli/ResultWriter.h"
#include "platform/FileSystem.h"
#include "platform/Terminal.h"

namespace tessaly::cli {
namespace {

constexpr std::size_t kLongestPassword = 4096;

void Forget(std::string& text) {
    for (char& c : text) c = '\0';
    text.clear();
}

}  // namespace

std::optional<std::string> ReadPasswordFile(const std::filesystem::path& path, std::string& error) {
    if (KindOfFile(path) == FileKind::Folder) {
        error = "the password file " + PathToUtf8(path) + " is a folder";
        return std::nullopt;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "cannot read the password file " + PathToUtf8(path);
        return std::nullopt;
    }
    // Read a byte at a time up to the line end: the file may be a pipe that
    // never ends, and nothing past the first line is needed.
    std::string line;
    for (char c; line.size() <= kLongestPassword && file.get(c) && c != '\n';) line.push_back(c);
    if (file.bad()) {
        Forget(line);
        error = "cannot read the password file " + PathToUtf8(path);
        return std::nullopt;
    }
    if (line.size() > kLongestPassword) {
        Forget(line);
        error = "the first line of the password file " + PathToUtf8(path) + " is longer than " +
                std::to_string(kLongestPassword) + " bytes";
        return std::nullopt;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

FilePassword::~FilePassword() { Forget(const_cast<std::string&>(password_)); }

std::optional<std::string> FilePassword::PasswordFor(const std::filesystem::path&, const std::string&) {
    return password_;
}

PromptPassword::~PromptPassword() {
    for (auto& answer : answers_)
        if (answer.second) Forget(*answer.second);
}

std::optional<std::string> PromptPassword::PasswordFor(const std::filesystem::path& archive,
                                                       const std::string& entryName) {
    const std::lock_guard<std::mutex> lock(mutex_);
    auto known = answers_.find(archive);
    if (known != answers_.end()) return known->second;
    std::optional<std::string> answer =
        ReadLineWithoutEcho("Password for " + PrintableText(PathToUtf8(archive)) + " (" + PrintableText(entryName) +
                            " is encrypted; press Enter to leave encrypted entries out): ");
    if (answer && answer->empty()) answer.reset();
    return answers_.emplace(archive, std::move(answer)).first->second;
}

}  // namespace tessaly::cli
