#include "archive/StoredStreamEnd.h"


namespace tessaly {

std::optional<zip::DataDescriptorRecord> FindStoredStreamEnd(ScanWindow& window, std::uint64_t dataOffset,
                                                             bool sizes64) {
    const std::uint64_t length = window.Length();
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
            crc = window.ExtendCrc(crc, crcEnd, q);
            crcEnd = q;
            if (record.crc32 == crc) return record;
        }
        from = q + 1;
    }
    return std::nullopt;
}

}  // namespace tessaly
