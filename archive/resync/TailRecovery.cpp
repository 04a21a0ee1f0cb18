#include "archive/resync/TailRecovery.h"

#include <algorithm>

#include "archive/ZipRecords.h"
#include "archive/ZipStorage.h"
#include "archive/resync/Bzip2Blocks.h"
#include "archive/resync/DamageLocator.h"
#include "archive/resync/ResyncTail.h"
#include "platform/File.h"
#include "platform/FileException.h"

namespace tessaly {

namespace {

// A damaged stretch followed by good data that breaks again is passed over
// (its offset cannot be known) and the search goes on after it, this many
// times at most.
constexpr int kMaxStretches = 4;
// The search's trials may read this multiple of the data after the damage
// (the walk that confirms a place reads it once), plus kTrialAllowance
// times it up to kTrialMinimum: a place is usually found within a block or
// two of the damage, but every bit position tried costs a walk of its own,
// and a small entry must stay cheap.
constexpr std::uint64_t kTrialShare = 2;
constexpr std::uint64_t kTrialAllowance = 64;
constexpr std::uint64_t kTrialMinimum = std::uint64_t{8} << 20;
constexpr std::size_t kWriteBlock = std::size_t{256} << 10;

}  // namespace

std::string RecoveredTailText(const RecoveredTail& tail) {
    const std::string recovered =
        std::to_string(tail.certainBytes) + " of " + std::to_string(tail.tailBytes) + " bytes after them recovered";
    if (tail.placed)
        return "bytes " + std::to_string(tail.lostStart) + "\xE2\x80\x93" + std::to_string(tail.tailStart) + " lost; " +
               recovered;
    return "bytes from " + std::to_string(tail.lostStart) + " on lost; " + recovered + ", written from byte " +
           std::to_string(tail.tailStart) + " on (how many bytes were lost is not known)";
}

bool TailRecovery::ReadInput(std::uint64_t from) {
    inputOffset_ = from;
    input_.resize(static_cast<std::size_t>(extent_.end - from));
    try {
        storage_.Seek(from);
        std::size_t got = 0;
        while (got < input_.size()) {
            const std::size_t n = storage_.Read(input_.data() + got, input_.size() - got, false);
            if (n == 0) break;
            got += n;
        }
        input_.resize(got);
    } catch (const CFileException&) {
        input_.clear();
    }
    return !input_.empty();
}

DeflateResync::Limits TailRecovery::SearchLimits(std::uint64_t inputBytes, bool descriptorMayFollow,
                                                 DeflateFormat format) {
    DeflateResync::Limits limits;
    limits.format = format;
    limits.endSlackBytes = descriptorMayFollow ? zip::kZip64DescriptorLength : 0;
    limits.trialBytes = std::min<std::uint64_t>(
        limits.trialBytes, kTrialShare * inputBytes + std::min(kTrialMinimum, kTrialAllowance * inputBytes));
    return limits;
}

std::optional<TailRecovery::Found> TailRecovery::Search(DeflateFormat format, std::uint64_t fromBit,
                                                        const Checkpoint& checkpoint, std::string& why) {
    DeflateResync resync(input_.data(), input_.size(),
                         SearchLimits(input_.size(), extent_.descriptorMayFollow, format));
    const auto keepGoing = [&checkpoint] {
        if (checkpoint) checkpoint();
        return true;
    };
    for (int stretch = 0; stretch < kMaxStretches; ++stretch) {
        const DeflateResync::Result result = resync.Search(fromBit, keepGoing);
        switch (result.outcome) {
            case DeflateResync::Outcome::ToStreamEnd: return Found{result.startBit, result.endBit, result.tailBytes};
            case DeflateResync::Outcome::ToBreak: fromBit = result.endBit + 1; continue;
            case DeflateResync::Outcome::Budget: why = "the search for where the data resumes gave up"; return {};
            default: why = "no place found where the data resumes"; return {};
        }
    }
    why = "the data breaks again too often";
    return {};
}

// A streamed entry's size is in the data descriptor right after its stream,
// when the descriptor's compressed size agrees with where the stream ended.
std::optional<std::uint64_t> TailRecovery::DescriptorSize(std::uint64_t streamEndBit) const {
    if (!extent_.descriptorMayFollow) return {};
    const std::size_t at = static_cast<std::size_t>((streamEndBit + 7) / 8);
    const std::size_t fields = extent_.sizes64 ? 20 : 12;
    const std::uint64_t packed = inputOffset_ + at - extent_.offset;
    for (const std::size_t skip : {std::size_t{4}, std::size_t{0}}) {
        if (at + skip + fields > input_.size()) continue;
        if (skip == 4 && zip::LoadU32(input_.data() + at) != zip::kDescriptorSignature) continue;
        const zip::DataDescriptorRecord record =
            zip::DecodeDescriptorFields(input_.data() + at + skip, extent_.sizes64);
        if (record.compressedSize == packed) return record.uncompressedSize;
    }
    return {};
}

// Empty when the data from `from` to the end is in memory; else why not.
std::string TailRecovery::ReadFrom(std::uint64_t from) {
    if (from >= extent_.end) return "the damage is at the end of the data";
    if (extent_.end - from > kMaxInput)
        return "not searched past the damage: more than " + std::to_string(kMaxInput >> 20) +
               " MiB of compressed data follow it";
    if (!ReadInput(from)) return "the data after the damage cannot be read";
    return {};
}

// A tail longer than the room the size leaves after the bytes known right
// cannot be this entry's: the place found was a false one, or the size is
// wrong. Either way its offsets would be guesses.
std::optional<std::uint64_t> TailRecovery::TailStart(std::optional<std::uint64_t> size, std::uint64_t tailBytes,
                                                     std::uint64_t certain, std::uint64_t written, std::string& why) {
    if (!size) return written;
    if (tailBytes > *size || *size - tailBytes < certain) {
        why = "the data found after the damage does not fit the entry's size";
        return std::nullopt;
    }
    return *size - tailBytes;
}

// The lost ranges of the whole file: from the first uncertain byte to the
// tail (to the end when the tail's offset is not known), then the tail's own.
void TailRecovery::Finish(RecoveredTail& tail, std::uint64_t certain, std::optional<std::uint64_t> size) {
    tail.lostStart = certain;
    tail.placed = size.has_value();
    std::vector<ByteRange> lost;
    AppendRange(lost, certain, tail.placed ? tail.tailStart : tail.fileLength);
    for (const ByteRange& range : tail.lost) AppendRange(lost, range.start, range.end);
    tail.lost = std::move(lost);
}

TailRecoveryResult TailRecovery::Recover(DeflateFormat format, const StreamBreak& where,
                                         std::optional<std::uint64_t> size, CFile& output, std::uint64_t written,
                                         const Checkpoint& checkpoint) {
    TailRecoveryResult result;
    result.why = ReadFrom(extent_.offset + where.damagedBit / 8);
    if (!result.why.empty()) return result;
    const std::uint64_t first = where.damagedBit / 8 * 8;  // the bit `input_` starts at
    const std::optional<Found> found =
        Search(format, std::max(where.searchBit, where.damagedBit) - first + 1, checkpoint, result.why);
    if (!found) return result;
    if (!size) size = DescriptorSize(found->endBit);
    const std::optional<std::uint64_t> tailStart =
        TailStart(size, found->tailBytes, where.certainOutput, written, result.why);
    if (!tailStart) return result;
    RecoveredTail tail = Write(format, *found, *tailStart, output, checkpoint);
    Finish(tail, where.certainOutput, size);
    result.tail = std::move(tail);
    return result;
}

TailRecoveryResult TailRecovery::RecoverUndetected(std::optional<std::uint64_t> size, CFile& output,
                                                   std::uint64_t written, const Checkpoint& checkpoint) {
    TailRecoveryResult result;
    result.why = ReadFrom(extent_.offset);
    if (!result.why.empty()) return result;
    const std::optional<LocatedDamage> located =
        LocateDeflateDamage(input_.data(), input_.size(), output, written, checkpoint);
    if (!located || located->decodedLength != written) {
        result.why = "where the damage lies cannot be told";
        return result;
    }
    const Found found{located->resumeBlock.bit, ~std::uint64_t{0}, written - located->resumeBlock.output};
    const std::uint64_t certain = located->damagedBlock.output;
    const std::optional<std::uint64_t> tailStart = TailStart(size, found.tailBytes, certain, written, result.why);
    if (!tailStart) return result;
    RecoveredTail tail = Write(DeflateFormat::Deflate, found, *tailStart, output, checkpoint);
    Finish(tail, certain, size);
    result.tail = std::move(tail);
    return result;
}

namespace {

// Block `next` follows block `block` directly: at its end, or, when the
// stream ended there, just after the next stream's 4-byte header.
bool Follows(const Bzip2Block& block, const Bzip2Block& next) {
    if (!block.endsStream) return next.startBit == block.endBit;
    return next.startBit == Bzip2StreamEndBit(block) + 32;
}

}  // namespace

TailRecoveryResult TailRecovery::RecoverBzip2(std::optional<std::uint64_t> size, CFile& output, std::uint64_t written,
                                              const Checkpoint& checkpoint) {
    TailRecoveryResult result;
    result.why = ReadFrom(extent_.offset);
    if (!result.why.empty()) return result;
    const std::vector<Bzip2Block> blocks = FindBzip2Blocks(input_.data(), input_.size());
    std::vector<std::optional<std::uint64_t>> lengths;
    for (const Bzip2Block& block : blocks) {
        lengths.push_back(DecodeBzip2Block(input_.data(), block, {}));
        if (checkpoint) checkpoint();
    }
    // The whole blocks from the first one on, each right after the last.
    constexpr std::uint64_t kFirstBlockBit = 32;  // after "BZh" and the size digit
    std::size_t head = 0;
    std::uint64_t certain = 0;
    while (head < blocks.size() && lengths[head] &&
           (head == 0 ? blocks[0].startBit == kFirstBlockBit : Follows(blocks[head - 1], blocks[head])))
        certain += *lengths[head++];
    // The whole blocks that end the data, each right before the next.
    const std::uint64_t endSlack = extent_.descriptorMayFollow ? zip::kZip64DescriptorLength : 0;
    std::size_t tailFirst = blocks.size();
    if (!blocks.empty() && blocks.back().endsStream && Bzip2StreamEndBit(blocks.back()) / 8 + endSlack >= input_.size())
        while (tailFirst > head && lengths[tailFirst - 1] &&
               (tailFirst == blocks.size() || Follows(blocks[tailFirst - 1], blocks[tailFirst])))
            --tailFirst;
    if (tailFirst == blocks.size() || tailFirst <= head) {
        result.why = tailFirst <= head ? "every block decodes" : "no whole block found after the damage";
        return result;
    }
    certain = std::min(certain, written);
    std::uint64_t tailBytes = 0;
    for (std::size_t i = tailFirst; i < blocks.size(); ++i) tailBytes += *lengths[i];
    const std::optional<std::uint64_t> tailStart = TailStart(size, tailBytes, certain, written, result.why);
    if (!tailStart) return result;

    RecoveredTail tail;
    tail.tailStart = *tailStart;
    output.SetLength(*tailStart);
    output.Seek(static_cast<std::int64_t>(*tailStart), CFile::Origin::Begin);
    for (std::size_t i = tailFirst; i < blocks.size(); ++i) {
        DecodeBzip2Block(input_.data(), blocks[i],
                         [&output](const std::uint8_t* bytes, std::size_t n) { output.Write(bytes, n); });
        if (checkpoint) checkpoint();
    }
    tail.tailBytes = tail.certainBytes = tailBytes;
    tail.fileLength = *tailStart + tailBytes;
    Finish(tail, certain, size);
    result.tail = std::move(tail);
    return result;
}

// The gap between the bytes kept and the tail reads as zeros: the file is
// cut or extended to where the tail starts.
RecoveredTail TailRecovery::Write(DeflateFormat format, const Found& found, std::uint64_t tailStart, CFile& output,
                                  const Checkpoint& checkpoint) {
    RecoveredTail tail;
    tail.tailStart = tailStart;
    output.SetLength(tailStart);
    output.Seek(static_cast<std::int64_t>(tailStart), CFile::Origin::Begin);
    ResyncTail decoder(input_.data(), input_.size(), found.startBit, found.endBit, format);
    std::vector<std::uint8_t> block(kWriteBlock);
    std::vector<ByteRange> uncertain;
    for (;;) {
        const ResyncTail::Step step = decoder.Next(block.data(), block.size(), uncertain);
        output.Write(block.data(), step.produced);
        if (step.status != ResyncTail::Status::Running) break;
        if (checkpoint) checkpoint();
    }
    tail.tailBytes = decoder.Produced();
    tail.certainBytes = decoder.Produced() - decoder.UncertainBytes();
    tail.fileLength = tailStart + decoder.Produced();
    for (const ByteRange& range : uncertain) AppendRange(tail.lost, tailStart + range.start, tailStart + range.end);
    return tail;
}

}  // namespace tessaly
