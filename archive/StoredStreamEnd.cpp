#include "archive/StoredStreamEnd.h"

namespace tessaly {

std::optional<zip::DataDescriptorRecord> FindStoredStreamEnd(ScanWindow& window, std::uint64_t dataOffset,
                                                             bool sizes64, std::uint64_t& budget) {
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

}  // namespace tessaly
