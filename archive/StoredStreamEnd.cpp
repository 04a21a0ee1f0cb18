#include "archive/StoredStreamEnd.h"

#include <zlib.h>

#include <algorithm>
#include <vector>

#include "archive/ScanWindow.h"

namespace tessaly {

namespace {
// Extends a running CRC-32 over [from, to) of the file.
std::uint32_t ExtendCrc(ScanWindow& window, std::uint32_t crc, std::uint64_t from, std::uint64_t to,
                        std::vector<std::uint8_t>& chunk) {
    while (from < to) {
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(to - from, chunk.size()));
        const std::size_t got = window.Read(from, chunk.data(), want);
        if (got == 0) break;
        crc = static_cast<std::uint32_t>(::crc32(crc, chunk.data(), static_cast<uInt>(got)));
        from += got;
    }
    return crc;
}
}  // namespace

std::optional<zip::DataDescriptorRecord> FindStoredStreamEnd(CBigFile& file, std::uint64_t length,
                                                             std::uint64_t dataOffset, bool sizes64) {
    ScanWindow window(file, length);
    std::vector<std::uint8_t> chunk(64 * 1024);
    std::uint32_t crc = 0;
    std::uint64_t crcEnd = dataOffset;
    std::uint64_t from = dataOffset;
    const std::size_t fieldLength = sizes64 ? 20 : 12;
    while (from < length) {
        const std::uint64_t q = window.Find(zip::kDescriptorSignature, from, length);
        if (q >= length) break;
        std::uint8_t fields[20];
        if (window.Read(q + 4, fields, fieldLength) < fieldLength) break;
        const zip::DataDescriptorRecord record = zip::DecodeDescriptorFields(fields, sizes64);
        const std::uint64_t distance = q - dataOffset;
        if (record.compressedSize == (sizes64 ? distance : (distance & 0xFFFFFFFFu))) {
            crc = ExtendCrc(window, crc, crcEnd, q, chunk);
            crcEnd = q;
            if (record.crc32 == crc) return record;
        }
        from = q + 1;
    }
    return std::nullopt;
}

}  // namespace tessaly
