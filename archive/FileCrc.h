// The CRC-32 of the first bytes of a file, read back from disk.
#pragma once

#include <cstdint>
#include <optional>

namespace tessaly {

class CFile;

// The CRC-32 of `file`'s first `length` bytes (it is read from its start),
// or nothing when it is shorter. Raises CFileException on a read error.
std::optional<std::uint32_t> CrcOfFileStart(CFile& file, std::uint64_t length);

}  // namespace tessaly
