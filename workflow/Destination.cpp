#include "workflow/Destination.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/FileSystem.h"
#include "workflow/RepairJob.h"

namespace tessaly {

namespace {

// A name no other file in the folder is expected to have; the exclusive
// create below makes sure it really is new.
std::string ProbeName(int attempt) {
    static std::atomic<unsigned> counter{0};
    const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    return ".tessaly-write-test-" + std::to_string(ticks) + "-" + std::to_string(counter++) + "-" +
           std::to_string(attempt) + ".tmp";
}

bool TakesNewFile(const std::filesystem::path& folder, std::error_code& failure) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        const auto probe = folder / ProbeName(attempt);
        std::error_code error;
        if (std::filesystem::exists(probe, error)) continue;
        if (!CreateNewFile(probe, failure)) return false;
        std::filesystem::remove(probe, error);
        return true;
    }
    failure = std::make_error_code(std::errc::file_exists);
    return false;
}

}  // namespace

DestinationCheck CheckDestination(const std::string& folder, std::string* reason) {
    if (folder.empty() || !IsExistingFolder(PathFromUtf8(folder))) return DestinationCheck::Missing;
    std::error_code failure;
    if (TakesNewFile(PathFromUtf8(folder), failure)) return DestinationCheck::Usable;
    if (reason != nullptr) *reason = failure.message();
    return DestinationCheck::NotWritable;
}

std::string PickerStartFolder(const CRepairJob& job) {
    const std::string& last = job.m_szLastDestination;
    if (!last.empty() && IsExistingFolder(PathFromUtf8(last))) return last;
    const std::string first = job.GetSourcePath(0);
    if (first.empty()) return std::string();
    return PathToUtf8(PathFromUtf8(first).parent_path());
}

RepairedArchiveProposal ProposeRepairedArchive(const std::string& archive) {
    const std::filesystem::path path = PathFromUtf8(archive);
    return {PathToUtf8(path.parent_path()), PathToUtf8(path.stem()) + " (repaired).zip"};
}

}  // namespace tessaly
