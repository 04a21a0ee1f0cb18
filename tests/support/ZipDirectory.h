// Reads the central directory of a well-formed archive (ZIP64 end records
// included), for tests that check what a writer of this project put where.
// Not a salvage reader: anything malformed gives nothing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/ZipWriter.h"

namespace tessaly::testzip {

struct DirectoryEntry {
    std::string name;
    std::uint16_t versionNeeded = 0;
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint32_t crc32 = 0;
    std::uint64_t compressedSize = 0;  // ZIP64 values where the record has them
    std::uint64_t uncompressedSize = 0;
    std::uint64_t localHeader = 0;
    std::uint64_t dataStart = 0;  // after the local header's name and extra field
    Bytes extra;                  // the central record's
    Bytes localExtra;
    std::string comment;
};

struct Directory {
    std::vector<DirectoryEntry> entries;
    std::string comment;
    bool zip64End = false;  // ZIP64 end record and locator present
};

std::optional<Directory> ReadDirectory(const Bytes& archive);

// The entry's stored bytes (after the local header).
Bytes StoredBytes(const Bytes& archive, const DirectoryEntry& entry);

}  // namespace tessaly::testzip
