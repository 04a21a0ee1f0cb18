// Finding where stored data ends when its sizes are missing (a streaming
// writer) or cannot be trusted (damage). Stored data has no end marker of its
// own, so a length is only taken when the CRC-32 of the bytes agrees.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "archive/ZipRecords.h"
#include "archive/scan/ScanWindow.h"

namespace tessaly {

// The first data descriptor signature after `dataOffset` whose compressed
// size equals its distance from `dataOffset` and whose CRC-32 matches the
// bytes before it. Reads the file once, in bounded memory, and looks at no
// more than `budget` bytes (decremented by what it looked at), so that many
// such entries cannot make a scan take quadratic time.
std::optional<zip::DataDescriptorRecord> FindStoredStreamEnd(ScanWindow& window, std::uint64_t dataOffset, bool sizes64,
                                                             std::uint64_t& budget);

// The shortest of `lengths` whose bytes from `dataOffset` have one of the
// CRC-32 values in `crcs`, with the value it matched. Looks at no more than
// `budget` bytes.
struct StoredLength {
    std::uint64_t length;
    std::uint32_t crc32;
};
std::optional<StoredLength> FindStoredLengthByCrc(ScanWindow& window, std::uint64_t dataOffset,
                                                  std::vector<std::uint64_t> lengths,
                                                  const std::vector<std::uint32_t>& crcs, std::uint64_t& budget);

}  // namespace tessaly
