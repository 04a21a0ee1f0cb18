#include "workflow/OutputFolder.h"

#include "platform/Clock.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/FileSystem.h"

namespace tessaly {

namespace {

// Far more than two saves in one second ever need; bounds the loop when
// the file system keeps saying "exists" for every name.
constexpr int kMaxSuffix = 10000;

enum class CreateResult { Created, Taken, Failed };

CreateResult CreateOneFolder(const std::string& path, std::error_code& error) {
    error.clear();
    if (std::filesystem::create_directory(PathFromUtf8(path), error)) return CreateResult::Created;
    if (!error || error == std::errc::file_exists) return CreateResult::Taken;
    return CreateResult::Failed;
}

}  // namespace

std::string OutputFolderName(const std::string& destination, const std::tm& when, char separator) {
    char stamp[96];
    std::snprintf(stamp, sizeof stamp, "  %d-%d-%d  %d-%d-%d", when.tm_mday, when.tm_mon + 1, when.tm_year + 1900,
                  when.tm_hour, when.tm_min, when.tm_sec);
    const bool endsInSeparator = !destination.empty() && destination.back() == separator;
    return destination + (endsInSeparator ? ' ' : separator) + "TL_Recovered_Zip" + stamp;
}

std::string CreateOutputFolder(const std::string& baseName, std::error_code* failure) {
    std::string candidate = baseName;
    std::error_code error;
    for (int suffix = 2; suffix <= kMaxSuffix; ++suffix) {
        switch (CreateOneFolder(candidate, error)) {
            case CreateResult::Created: return candidate;
            case CreateResult::Failed:
                if (failure != nullptr) *failure = error;
                return baseName;
            case CreateResult::Taken: candidate = baseName + " (" + std::to_string(suffix) + ")"; break;
        }
    }
    if (failure != nullptr) *failure = std::make_error_code(std::errc::file_exists);
    return baseName;
}

std::tm LocalNow() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    ToLocalTime(now, parts);
    return parts;
}

}  // namespace tessaly
