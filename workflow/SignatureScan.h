// The workers' own look at an archive before they hand it to the archive
// layer: is there a local file header ("PK", 3, 4) anywhere in the file?
// The first one found decides that the archive is worth opening; its offset
// is not passed on (the archive layer scans the whole file itself).
#pragma once

#include <cstdint>
#include <functional>

namespace tessaly {

class CFile;

enum class SignatureScanResult {
    Found,      // `offset` holds the first local header's offset
    NotFound,   // no local header anywhere in the file
    ReadError,  // the file could not be read to its end
    Stopped,    // the progress callback asked to stop
};

struct SignatureScanOutcome {
    SignatureScanResult result = SignatureScanResult::NotFound;
    std::uint64_t offset = 0;
};

// Called with the offset about to be examined, at offset 0, at least every
// kSignatureScanStep offsets, and at the offset of the match; returns false
// to stop the scan.
using SignatureScanStep = std::function<bool(std::uint64_t offset)>;

constexpr std::uint64_t kSignatureScanStep = 4096;

// Scans `file` (open for reading, `length` bytes) from offset 0.
SignatureScanOutcome FindFirstLocalHeader(CFile& file, std::uint64_t length, const SignatureScanStep& step);

}  // namespace tessaly
