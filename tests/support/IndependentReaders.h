// Readers of ZIP archives that share no code with this project, run on an
// archive the project wrote: unzip -t, 7-Zip's test, Python's zipfile
// (every member read back, its CRC-32 checked) and bsdtar's listing. A
// reader that is not installed says so instead of a verdict.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tessaly::testzip {

struct ReaderVerdict {
    std::string reader;  // "unzip -t", "7zz t", "python zipfile", "bsdtar -tf"
    bool installed = false;
    bool ok = false;     // it read the archive without an error
    std::string output;  // what it printed
};

// Every reader's verdict on `archive`; encrypted members are checked with
// `password` where the reader can decrypt them.
std::vector<ReaderVerdict> CheckWithReaders(const std::filesystem::path& archive,
                                            const std::optional<std::string>& password = std::nullopt);

}  // namespace tessaly::testzip
