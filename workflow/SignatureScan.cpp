#include "workflow/SignatureScan.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/File.h"
#include "platform/FileException.h"

namespace tessaly {

namespace {

const std::uint8_t kLocalHeaderSignature[4] = {0x50, 0x4B, 0x03, 0x04};
constexpr std::size_t kReadSize = 64 * 1024;

// Offset of the first signature starting in window[from, until), or npos.
// `window` may hold up to three bytes past `until` so a signature across a
// block boundary is found.
std::size_t FindSignature(const std::vector<std::uint8_t>& window, std::size_t from, std::size_t until,
                          std::size_t size) {
    for (std::size_t i = from; i < until; ++i) {
        const void* hit = std::memchr(&window[i], 0x50, until - i);
        if (!hit) return std::string::npos;
        i = static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - window.data());
        if (i + 4 <= size && std::memcmp(&window[i], kLocalHeaderSignature, 4) == 0) return i;
    }
    return std::string::npos;
}

}  // namespace

SignatureScanOutcome FindFirstLocalHeader(CFile& file, std::uint64_t length, const SignatureScanStep& step) {
    std::vector<std::uint8_t> window(kReadSize + 3);
    std::uint64_t base = 0;
    try {
        file.Seek(0, CFile::Origin::Begin);
        while (base < length) {
            // The window holds the block plus the three bytes that follow it.
            const std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(kReadSize + 3, length - base));
            file.Seek(static_cast<std::int64_t>(base), CFile::Origin::Begin);
            std::size_t size = 0;
            while (size < wanted) {
                const std::size_t got = file.Read(window.data() + size, wanted - size);
                if (got == 0) break;
                size += got;
            }
            if (size == 0) return {SignatureScanResult::ReadError, base};
            const std::size_t blockEnd = std::min<std::size_t>(size, kReadSize);
            for (std::size_t from = 0; from < blockEnd; from += kSignatureScanStep) {
                if (!step(base + from)) return {SignatureScanResult::Stopped, base + from};
                const std::size_t until =
                    std::min<std::size_t>(blockEnd, from + static_cast<std::size_t>(kSignatureScanStep));
                const std::size_t hit = FindSignature(window, from, until, size);
                if (hit != std::string::npos) {
                    if (!step(base + hit)) return {SignatureScanResult::Stopped, base + hit};
                    return {SignatureScanResult::Found, base + hit};
                }
            }
            if (size < wanted)  // the file is shorter than it said
                return {SignatureScanResult::ReadError, base + size};
            base += kReadSize;
        }
    } catch (const CFileException&) {
        return {SignatureScanResult::ReadError, base};
    }
    return {SignatureScanResult::NotFound, length};
}

}  // namespace tessaly
