// Where the command-line tool gets passwords: the first line of a password
// file (the same password for every archive), or a prompt on the terminal
// without echo, asked once per archive the first time an encrypted entry
// is met. A password is never taken from the command line, and never
// printed.
#pragma once

#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "archive/crypto/PasswordSource.h"

namespace tessaly::cli {

// The first line of the file, without its line end ("\n" or "\r\n"). Fills
// `error` and gives nothing when the file cannot be read or its first line
// is too long to be a password.
std::optional<std::string> ReadPasswordFile(const std::filesystem::path& path, std::string& error);

class FilePassword : public PasswordSource {
public:
    explicit FilePassword(std::string password) : password_(std::move(password)) {}
    ~FilePassword() override;
    std::optional<std::string> PasswordFor(const std::filesystem::path& archive, const std::string& entryName) override;

private:
    const std::string password_;
};

// Asks on the terminal; an empty answer (or end of input) leaves the
// archive's encrypted entries out. Each archive is asked once.
class PromptPassword : public PasswordSource {
public:
    ~PromptPassword() override;
    std::optional<std::string> PasswordFor(const std::filesystem::path& archive, const std::string& entryName) override;

private:
    std::mutex mutex_;
    std::map<std::filesystem::path, std::optional<std::string>> answers_;
};

}  // namespace tessaly::cli
