// A large read window over the archive file. The salvage scan looks at every
// position of the file, so it reads through this window and finds signatures
// in memory instead of making a system call per position; headers near each
// other are served from the same window.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/File.h"

namespace tessaly {

class ScanWindow {
public:
    static constexpr std::size_t kDefaultCapacity = std::size_t{1} << 20;
    // Find and ReadU32 look at four bytes in place, so a smaller capacity
    // is raised to this.
    static constexpr std::size_t kMinimumCapacity = 4;

    ScanWindow(CBigFile& file, std::uint64_t length, std::size_t capacity = kDefaultCapacity);

    std::uint64_t Length() const { return length_; }

    // The first position q in [from, to) whose four bytes are `signature`
    // (all four inside the file), or `to` when there is none.
    std::uint64_t Find(std::uint32_t signature, std::uint64_t from, std::uint64_t to);

    // Copies up to `size` bytes at `offset`; fewer only at the end of the file.
    std::size_t Read(std::uint64_t offset, void* buffer, std::size_t size);

    // The four bytes at `offset` as a little-endian value; false past the end.
    bool ReadU32(std::uint64_t offset, std::uint32_t& value);

    // Extends a running CRC-32 over the bytes [from, to) of the file.
    std::uint32_t ExtendCrc(std::uint32_t crc, std::uint64_t from, std::uint64_t to);

private:
    // Makes [offset, offset + size) resident as far as the file holds it and
    // returns the bytes available from `offset`.
    std::size_t Fetch(std::uint64_t offset, std::size_t size);

    CBigFile& file_;
    std::uint64_t length_;
    std::unique_ptr<std::uint8_t[]> buffer_;  // not cleared: only filled bytes are read
    std::size_t capacity_;
    std::uint64_t start_ = 0;
    std::size_t filled_ = 0;
};

}  // namespace tessaly
