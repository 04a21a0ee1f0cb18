#include "workflow/Destination.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/FileSystem.h"

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

bool TakesNewFile(const std::filesystem::path& folder) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        const auto probe = folder / ProbeName(attempt);
        std::error_code error;
        if (std::filesystem::exists(probe, error)) continue;
        if (!CreateNewFile(probe)) return false;
        std::filesystem::remove(probe, error);
        return true;
    }
    return false;
}

}  // namespace

DestinationCheck CheckDestination(const std::string& folder) {
    if (folder.empty() || !IsExistingFolder(PathFromUtf8(folder))) return DestinationCheck::Missing;
    return TakesNewFile(PathFromUtf8(folder)) ? DestinationCheck::Usable : DestinationCheck::NotWritable;
}

}  // namespace tessaly
