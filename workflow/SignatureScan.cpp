#include "workflow/SignatureScan.h"

#include <algorithm>

#include "archive/ZipRecords.h"
#include "archive/scan/ScanWindow.h"
#include "platform/File.h"
#include "platform/FileException.h"

namespace tessaly {

namespace {

constexpr std::size_t kReadSize = 64 * 1024;

// Whether the file still holds its last byte: a file shorter than it said
// cannot be read to its end.
bool ReadsToItsEnd(ScanWindow& window, std::uint64_t length) {
    std::uint8_t last = 0;
    return length == 0 || window.Read(length - 1, &last, 1) == 1;
}

}  // namespace

// The archive layer's scan window finds the signature; this walk only adds
// the steps that move a bar and may stop it.
SignatureScanOutcome FindFirstLocalHeader(CFile& file, std::uint64_t length, const SignatureScanStep& step) {
    try {
        ScanWindow window(file, length, kReadSize);
        for (std::uint64_t from = 0; from < length; from += kSignatureScanStep) {
            if (!step(from)) return {SignatureScanResult::Stopped, from};
            const std::uint64_t to = std::min(length, from + kSignatureScanStep);
            const std::uint64_t hit = window.Find(zip::kLocalHeaderSignature, from, to);
            if (hit < to) {
                if (!step(hit)) return {SignatureScanResult::Stopped, hit};
                return {SignatureScanResult::Found, hit};
            }
        }
        if (!ReadsToItsEnd(window, length)) return {SignatureScanResult::ReadError, length};
    } catch (const CFileException&) {
        return {SignatureScanResult::ReadError, 0};
    }
    return {SignatureScanResult::NotFound, length};
}

}  // namespace tessaly
