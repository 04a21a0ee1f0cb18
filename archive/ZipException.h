// Archive faults: the archive's bytes are not what the reader needs, or zlib
// refused to start. File-system faults are CFileException (platform/).
// Both are thrown by value and caught by reference.
#pragma once

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace tessaly {

// The reader's internal codes: zlib's return codes plus its own negatives.
enum ZipErrorCode : int {
    badArchive = -101,
};

class CZipException : public std::runtime_error {
public:
    // `code` is an internal code; it is mapped to the cause number (1-16)
    // diagnostics use. `offset` is where in the archive the fault lies, or
    // kNoOffset when it is not tied to a position.
    CZipException(int code, std::filesystem::path fileName, std::uint64_t offset, const std::string& what);

    static constexpr std::uint64_t kNoOffset = ~std::uint64_t{0};

    int Cause() const noexcept { return cause_; }
    const std::filesystem::path& FileName() const noexcept { return fileName_; }
    std::uint64_t Offset() const noexcept { return offset_; }

    // Code-to-cause mapping; any code not in the table maps to 1.
    static int CauseFromCode(int code) noexcept;

private:
    int cause_;
    std::filesystem::path fileName_;
    std::uint64_t offset_;
};

[[noreturn]] void ThrowArchiveError(int code, const std::filesystem::path& fileName,
                                    std::uint64_t offset = CZipException::kNoOffset, const std::string& what = {});

// Returns for Z_OK and Z_NEED_DICT; any other zlib result raises.
void CheckZlibResult(int code, const std::filesystem::path& fileName = {});

}  // namespace tessaly
