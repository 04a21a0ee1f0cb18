// Salvages what follows the damage in a broken raw Deflate stream: finds
// where the stream can be picked up again (DeflateResync), decodes the rest
// telling certain bytes from copies of lost ones (ResyncTail), and writes it
// into the entry's output file. When the entry's size is known the tail
// belongs at `size - tail length`: the gap before it is filled with zeros,
// and the bytes the damaged block decoded before the error stay where they
// are, inside the lost stretch. Without a size the tail follows the bytes
// kept, and everything from the damage on counts as lost, for its offsets
// are not known.
//
// The compressed data from the damaged block to the entry's end is read
// into memory, up to kMaxInput; an entry with more after its damage is not
// searched.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "archive/ByteRange.h"
#include "archive/methods/Decompressor.h"
#include "archive/resync/DeflateResync.h"

namespace tessaly {

class CFile;
class CZipStorage;

// Where an entry's compressed data lies in the archive.
struct CompressedExtent {
    std::uint64_t offset = 0;  // its first byte
    std::uint64_t end = 0;     // one past its last byte, as far as the archive tells
    // The end is that of the next record rather than of the data: a data
    // descriptor (whose sizes then count) may lie between the two.
    bool descriptorMayFollow = false;
    bool sizes64 = false;  // the descriptor's sizes are 64-bit
};

struct RecoveredTail {
    std::uint64_t lostStart = 0;     // the first byte not certain
    std::uint64_t tailStart = 0;     // where the recovered tail begins in the file
    std::uint64_t tailBytes = 0;     // its length
    std::uint64_t certainBytes = 0;  // those of its bytes that are certain
    bool placed = false;             // at its true offset (the size was known)
    std::uint64_t fileLength = 0;
    std::vector<ByteRange> lost;  // in the file
};

struct TailRecoveryResult {
    std::optional<RecoveredTail> tail;
    std::string why;  // when nothing was recovered: why, for the entry's detail
};

// The entry's detail after a recovery: "bytes A–B lost; N of M bytes after
// them recovered".
std::string RecoveredTailText(const RecoveredTail& tail);

class TailRecovery {
public:
    static constexpr std::uint64_t kMaxInput = std::uint64_t{64} << 20;

    // Called between pieces of work; it may throw to stop.
    using Checkpoint = std::function<void()>;

    // The bounds of the search over `inputBytes` of compressed data.
    static DeflateResync::Limits SearchLimits(std::uint64_t inputBytes, bool descriptorMayFollow);

    TailRecovery(CZipStorage& storage, const CompressedExtent& extent) : storage_(storage), extent_(extent) {}

    // The stream broke at `where`; `output` holds the `written` bytes decoded
    // before the error. `size` is the entry's declared size, when known.
    TailRecoveryResult Recover(const StreamBreak& where, std::optional<std::uint64_t> size, CFile& output,
                               std::uint64_t written, const Checkpoint& checkpoint);

private:
    struct Found {
        std::uint64_t startBit = 0;  // in the bytes read
        std::uint64_t endBit = 0;
        std::uint64_t tailBytes = 0;
    };

    bool ReadInput(std::uint64_t from);
    std::optional<Found> Search(std::uint64_t fromBit, const Checkpoint& checkpoint, std::string& why);
    std::optional<std::uint64_t> DescriptorSize(std::uint64_t streamEndBit) const;
    RecoveredTail Write(const Found& found, std::uint64_t tailStart, CFile& output, const Checkpoint& checkpoint);

    CZipStorage& storage_;
    CompressedExtent extent_;
    std::uint64_t inputOffset_ = 0;  // where `input_` begins in the archive
    std::vector<std::uint8_t> input_;
};

}  // namespace tessaly
