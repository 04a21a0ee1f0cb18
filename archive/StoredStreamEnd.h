// Finding where a stored entry ends when its writer streamed it: the local
// header carries no sizes, and stored data has no end marker of its own.
#pragma once

#include <cstdint>
#include <optional>

#include "archive/ZipRecords.h"
#include "archive/ScanWindow.h"

namespace tessaly {

// The first data descriptor signature after `dataOffset` whose compressed
// size equals its distance from `dataOffset` and whose CRC-32 matches the
// bytes before it. Reads the file once, in bounded memory, and looks at no
// more than `budget` bytes (decremented by what it looked at), so that many
// such entries cannot make a scan take quadratic time.
std::optional<zip::DataDescriptorRecord> FindStoredStreamEnd(ScanWindow& window, std::uint64_t dataOffset,
                                                             bool sizes64, std::uint64_t& budget);

}  // namespace tessaly
