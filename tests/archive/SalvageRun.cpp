#include "tests/archive/SalvageRun.h"

#include <algorithm>
#include <exception>

#include "archive/EntryName.h"
#include "archive/ZipArchive.h"
#include "archive/output/OutputDestination.h"
#include "archive/salvage/SalvageDriver.h"

namespace tessaly::archivetest {
namespace fs = std::filesystem;

SalvageRun::SalvageRun(const Bytes& archive, RepairMode mode, SalvageOptions options)
    : folder_("tessaly-archive-test") {
    archive_ = folder_ / "archive.zip";
    output_ = folder_ / "out";
    fs::create_directory(output_);
    testzip::WriteFileBytes(archive_, archive);

    CZipArchive zip;
    zip.SetPasswordSource(options.passwords);
    zip.SetExpansionLimits(options.limits);
    try {
        zip.OpenArchive(archive_, static_cast<RepairMode>(mode));
    } catch (const std::exception& e) {
        openThrew = true;
        openError = e.what();
    }
    cutRecordOffset = zip.CutRecordOffset();
    for (std::uint32_t i = 0; i < zip.GetCount(); ++i) {
        EntryRun run;
        EXPECT_TRUE(zip.GetEntryInfo(run.info, i)) << "entry " << i;
        entries.push_back(std::move(run));
    }
    if (options.extract) {
        // The road the tools take, on one thread so that clashing names are
        // numbered in entry order.
        OutputDestination destination(output_);
        tessaly::SalvageOptions salvage;
        salvage.bufferSize = options.bufferSize;
        salvage.passwords = options.passwords;
        salvage.limits = options.limits;
        salvage.resync = options.resync;
        salvage.keepEntries = true;
        SalvageObserver quiet;
        for (SalvagedEntry& salvaged : SalvageEntries(zip, destination, salvage, quiet).entries) {
            EntryRun& run = entries[salvaged.index];
            run.threw = salvaged.raised;
            run.returned = salvaged.report.outcome != ExtractOutcome::Failed;
            if (run.threw) run.error = salvaged.report.detail;
            run.report = std::move(salvaged.report);
        }
    }
    zip.CloseArchive(true);
    files = testzip::ListFilesBelow(output_);
}

const EntryRun* SalvageRun::Find(const std::string& name) const {
    std::string listed = Listed(name);
    for (const EntryRun& entry : entries)
        if (entry.info.fileName == listed) return &entry;
    return nullptr;
}

std::vector<std::string> SalvageRun::Names() const {
    std::vector<std::string> names;
    for (const EntryRun& entry : entries) names.push_back(entry.info.fileName);
    return names;
}

std::optional<Bytes> SalvageRun::FileContent(const std::string& relative) const {
    fs::path path = output_ / fs::u8path(relative);
    std::error_code ec;
    if (!fs::is_regular_file(fs::symlink_status(path, ec))) return std::nullopt;
    return testzip::ReadFileBytes(path);
}

std::vector<ExtractReport> SalvageAll(CZipArchive& zip, const fs::path& folder) {
    OutputDestination destination(folder);
    tessaly::SalvageOptions options;
    options.bufferSize = 65535;
    options.keepEntries = true;
    SalvageObserver quiet;
    std::vector<ExtractReport> reports;
    for (SalvagedEntry& entry : SalvageEntries(zip, destination, options, quiet).entries)
        reports.push_back(std::move(entry.report));
    return reports;
}

std::string Listed(std::string name) {
    std::replace(name.begin(), name.end(), '/', '\\');
    return name;
}

const char* ModeName(RepairMode mode) { return mode == QuickRepair ? "Quick" : "Advance"; }

::testing::AssertionResult IsIntact(const SalvageRun& run, const std::string& name, const Bytes& content) {
    const EntryRun* entry = run.Find(name);
    if (!entry) return ::testing::AssertionFailure() << "entry " << name << " not listed";
    if (entry->threw || !entry->returned)
        return ::testing::AssertionFailure() << name << ": extraction failed: " << entry->error;
    if (entry->report.outcome != ExtractOutcome::Ok)
        return ::testing::AssertionFailure()
               << name << ": outcome " << OutcomeName(entry->report.outcome) << " (" << entry->report.detail << ")";
    std::optional<Bytes> written = run.FileContent(name);
    if (!written) return ::testing::AssertionFailure() << name << ": no file written";
    if (*written != content)
        return ::testing::AssertionFailure()
               << name << ": content differs (" << written->size() << " bytes, " << content.size() << " expected)";
    if (entry->report.bytesWritten != content.size() || entry->report.crc32 != testzip::Crc32(content))
        return ::testing::AssertionFailure()
               << name << ": report says " << entry->report.bytesWritten << " bytes, CRC " << entry->report.crc32;
    return ::testing::AssertionSuccess();
}

void ExpectIntactExcept(const SalvageRun& run, const std::vector<testzip::EntryToWrite>& inputs,
                        const std::vector<std::size_t>& except) {
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        if (std::find(except.begin(), except.end(), i) == except.end()) {
            EXPECT_TRUE(IsIntact(run, inputs[i].name, inputs[i].data));
        }
    }
}

bool IsPrefix(const Bytes& part, const Bytes& whole) {
    return part.size() <= whole.size() && std::equal(part.begin(), part.end(), whole.begin());
}

::testing::AssertionResult NothingWritten(const SalvageRun& run, const EntryRun& entry) {
    if (!entry.report.outputPath.empty())
        return ::testing::AssertionFailure()
               << entry.info.fileName << ": report names output " << entry.report.outputPath;
    if (entry.report.bytesWritten != 0)
        return ::testing::AssertionFailure()
               << entry.info.fileName << ": " << entry.report.bytesWritten << " bytes written";
    fs::path relative = SafeRelativePath(entry.info.fileName);
    std::error_code ec;
    if (!relative.empty() && fs::exists(fs::symlink_status(run.Output() / relative, ec)))
        return ::testing::AssertionFailure() << entry.info.fileName << ": a file exists at " << relative;
    return ::testing::AssertionSuccess();
}

}  // namespace tessaly::archivetest
