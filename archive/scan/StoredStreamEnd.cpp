#include "archive/scan/StoredStreamEnd.h"

#include <algorithm>

namespace tessaly {

std::optional<zip::DataDescriptorRecord> FindStoredStreamEnd(ScanWindow& window, std::uint64_t dataOffset, bool sizes64,
                                                             std::uint64_t& budget) {
    const std::uint64_t length = window.Length();
    if (dataOffset >= length) return std::nullopt;
    const std::uint64_t limit = (length - dataOffset <= budget) ? length : dataOffset + budget;
    const std::size_t fieldLength = sizes64 ? 20 : 12;
    std::optional<zip::DataDescriptorRecord> found;
    std::uint32_t crc = 0;
    std::uint64_t crcEnd = dataOffset;
    std::uint64_t from = dataOffset;
    while (from < limit) {
        const std::uint64_t q = window.Find(zip::kDescriptorSignature, from, limit);
        std::uint8_t fields[20];
        if (q >= limit || window.Read(q + 4, fields, fieldLength) < fieldLength) {
            from = limit;
            break;
        }
        const zip::DataDescriptorRecord record = zip::DecodeDescriptorFields(fields, sizes64);
        const std::uint64_t distance = q - dataOffset;
        if (record.compressedSize == (sizes64 ? distance : (distance & 0xFFFFFFFFu))) {
            crc = window.ExtendCrc(crc, crcEnd, q);
            crcEnd = q;
            if (record.crc32 == crc) {
                found = record;
                from = q;
                break;
            }
        }
        from = q + 1;
    }
    budget -= std::min(budget, from - dataOffset);
    return found;
}

std::optional<StoredLength> FindStoredLengthByCrc(ScanWindow& window, std::uint64_t dataOffset,
                                                  std::vector<std::uint64_t> lengths,
                                                  const std::vector<std::uint32_t>& crcs, std::uint64_t& budget) {
    std::sort(lengths.begin(), lengths.end());
    lengths.erase(std::unique(lengths.begin(), lengths.end()), lengths.end());
    std::uint32_t crc = 0;
    std::uint64_t done = 0;
    for (std::uint64_t length : lengths) {
        if (length == 0 || length > window.Length() - std::min(window.Length(), dataOffset)) continue;
        if (length - done > budget) break;
        budget -= length - done;
        crc = window.ExtendCrc(crc, dataOffset + done, dataOffset + length);
        done = length;
        if (std::find(crcs.begin(), crcs.end(), crc) != crcs.end()) return StoredLength{length, crc};
    }
    return std::nullopt;
}

}  // namespace tessaly
