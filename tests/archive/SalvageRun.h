// Test harness: writes an archive to a temporary folder, opens it in one
// repair mode, lists every entry and salvages every entry below an output
// folder through the salvage driver (one thread), recording what each step
// gave.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archive/ExpansionLimits.h"
#include "archive/ExtractReport.h"
#include "archive/FileHeader.h"
#include "archive/RepairMode.h"
#include "archive/crypto/PasswordSource.h"
#include "tests/support/TempFolder.h"
#include "tests/support/ZipWriter.h"

namespace tessaly {
class CZipArchive;
}  // namespace tessaly

namespace tessaly::archivetest {

using testzip::Bytes;

struct EntryRun {
    CFileHeader info;
    bool returned = false;  // extracted or left out, not failed
    bool threw = false;     // a fault was raised (archive, file system or other)
    std::string error;
    ExtractReport report;
};

// Gives one password (or none) and counts the questions.
class FixedPassword : public PasswordSource {
public:
    explicit FixedPassword(std::optional<std::string> password) : password_(std::move(password)) {}
    std::optional<std::string> PasswordFor(const std::filesystem::path&, const std::string&) override {
        const std::lock_guard<std::mutex> lock(mutex_);
        ++asked;
        return password_;
    }
    int asked = 0;

private:
    std::mutex mutex_;
    std::optional<std::string> password_;
};

struct SalvageOptions {
    std::size_t bufferSize = 65535;
    bool extract = true;
    PasswordSource* passwords = nullptr;  // given to the archive object
    ExpansionLimits limits{};             // given to the archive object
    bool resync = false;                  // Deflate entries searched past their damage
};

class SalvageRun {
public:
    SalvageRun(const Bytes& archive, RepairMode mode, SalvageOptions options = {});

    const std::filesystem::path& Archive() const { return archive_; }
    const std::filesystem::path& Output() const { return output_; }
    const std::filesystem::path& Root() const { return folder_.Path(); }

    bool openThrew = false;
    std::string openError;
    std::optional<std::uint64_t> cutRecordOffset;  // where the scan said the archive ends inside a record
    std::vector<EntryRun> entries;
    std::vector<std::string> files;  // written below Output(), relative, sorted

    std::size_t Count() const { return entries.size(); }
    // The first entry whose listed name is `name` with `/` turned into `\`.
    const EntryRun* Find(const std::string& name) const;
    std::vector<std::string> Names() const;  // listed names, as given by GetEntryInfo
    std::optional<Bytes> FileContent(const std::string& relative) const;

private:
    testzip::TempFolder folder_;
    std::filesystem::path archive_;
    std::filesystem::path output_;
};

// Every entry of the open `zip` salvaged below `folder` through the salvage
// driver, on one thread; the reports in entry order.
std::vector<ExtractReport> SalvageAll(CZipArchive& zip, const std::filesystem::path& folder);

// The listed form of a stored name.
std::string Listed(std::string name);

const char* ModeName(RepairMode mode);

// The entry was listed, extracted whole with a matching CRC-32, and its
// file holds exactly `content` at the name's path below the output folder.
::testing::AssertionResult IsIntact(const SalvageRun& run, const std::string& name, const Bytes& content);

// Every entry of `inputs` not in `except` is intact.
void ExpectIntactExcept(const SalvageRun& run, const std::vector<testzip::EntryToWrite>& inputs,
                        const std::vector<std::size_t>& except);

bool IsPrefix(const Bytes& part, const Bytes& whole);

// No file at all was written for the entry and none exists at its path.
::testing::AssertionResult NothingWritten(const SalvageRun& run, const EntryRun& entry);

// Parameter name printer for tests run in both repair modes.
struct ModeParamName {
    std::string operator()(const ::testing::TestParamInfo<RepairMode>& info) const { return ModeName(info.param); }
};

inline const auto kBothModes = ::testing::Values(QuickRepair, AdvanceRepair);

}  // namespace tessaly::archivetest
