// Where a Deflate stream that decodes without any error, but to bytes whose
// CRC-32 or length is wrong, was damaged. Most damage inside a block of
// dynamic codes is read through: every bit pattern is some code, and the
// decoder falls back into step within a few symbols, so nothing shows but
// the check at the end. A stream written by zlib can still be placed: zlib
// is deterministic, so compressing the decoded bytes again with the writer's
// level gives the stored stream bit for bit up to the damage, and differs
// from there. Blocks of stored bytes are the exception (their damage is
// copied, not decoded), so none may come before the damage found.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

namespace tessaly {

class CFile;

struct DeflateBlockStart {
    std::uint64_t bit = 0;     // the block header's first bit
    std::uint64_t output = 0;  // bytes decoded before it
    bool stored = false;       // a block of stored bytes
};

struct LocatedDamage {
    DeflateBlockStart damagedBlock;   // the block the damage begins in (or one before it)
    DeflateBlockStart resumeBlock;    // two block starts later: the tail starts here
    std::uint64_t decodedLength = 0;  // what the whole stream decodes to
};

// `compressed` holds the entry's raw Deflate data; `decoded` its `length`
// decoded bytes (read from the start). Nothing when no zlib level gives the
// stream's start, when the two agree to the end, when a stored block comes
// before the damage, or when fewer than two blocks follow it.
std::optional<LocatedDamage> LocateDeflateDamage(const std::uint8_t* compressed, std::size_t size, CFile& decoded,
                                                 std::uint64_t length, const std::function<void()>& checkpoint);

}  // namespace tessaly
