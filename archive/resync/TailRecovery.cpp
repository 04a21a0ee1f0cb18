#include "archive/resync/TailRecovery.h"

#include <algorithm>

#include "archive/ZipRecords.h"
#include "archive/ZipStorage.h"
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
// (the walk that confirms a place reads it once), and at least
// kTrialMinimum: a place is usually found within a block or two of the
// damage, but every bit position tried costs a walk of its own.
constexpr std::uint64_t kTrialShare = 2;
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

DeflateResync::Limits TailRecovery::SearchLimits(std::uint64_t inputBytes, bool descriptorMayFollow) {
    DeflateResync::Limits limits;
    limits.endSlackBytes = descriptorMayFollow ? zip::kZip64DescriptorLength : 0;
    limits.trialBytes = std::min<std::uint64_t>(limits.trialBytes, kTrialShare * inputBytes + kTrialMinimum);
    return limits;
}

std::optional<TailRecovery::Found> TailRecovery::Search(std::uint64_t fromBit, const Checkpoint& checkpoint,
                                                        std::string& why) {
    DeflateResync resync(input_.data(), input_.size(), SearchLimits(input_.size(), extent_.descriptorMayFollow));
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

TailRecoveryResult TailRecovery::Recover(const StreamBreak& where, std::optional<std::uint64_t> size, CFile& output,
                                         std::uint64_t written, const Checkpoint& checkpoint) {
    TailRecoveryResult result;
    const std::uint64_t from = extent_.offset + where.damagedBit / 8;
    if (from >= extent_.end) {
        result.why = "the damage is at the end of the data";
        return result;
    }
    if (extent_.end - from > kMaxInput) {
        result.why = "not searched past the damage: more than " + std::to_string(kMaxInput >> 20) +
                     " MiB of compressed data follow it";
        return result;
    }
    if (!ReadInput(from)) {
        result.why = "the data after the damage cannot be read";
        return result;
    }
    const std::optional<Found> found = Search(where.damagedBit % 8 + 1, checkpoint, result.why);
    if (!found) return result;
    if (!size) size = DescriptorSize(found->endBit);

    std::uint64_t tailStart = written;
    if (size) {
        // A tail longer than the room the size leaves after the bytes known
        // right cannot be this entry's: the place found was a false one, or
        // the size is wrong. Either way its offsets would be guesses.
        if (found->tailBytes > *size || *size - found->tailBytes < where.certainOutput) {
            result.why = "the data found after the damage does not fit the entry's size";
            return result;
        }
        tailStart = *size - found->tailBytes;
    }
    RecoveredTail tail = Write(*found, tailStart, output, checkpoint);
    tail.lostStart = where.certainOutput;
    tail.placed = size.has_value();
    std::vector<ByteRange> lost;
    AppendRange(lost, where.certainOutput, tail.placed ? tailStart : tail.fileLength);
    for (const ByteRange& range : tail.lost) AppendRange(lost, range.start, range.end);
    tail.lost = std::move(lost);
    result.tail = std::move(tail);
    return result;
}

// The gap between the bytes kept and the tail reads as zeros: the file is
// cut or extended to where the tail starts.
RecoveredTail TailRecovery::Write(const Found& found, std::uint64_t tailStart, CFile& output,
                                  const Checkpoint& checkpoint) {
    RecoveredTail tail;
    tail.tailStart = tailStart;
    output.SetLength(tailStart);
    output.Seek(static_cast<std::int64_t>(tailStart), CFile::Origin::Begin);
    ResyncTail decoder(input_.data(), input_.size(), found.startBit, found.endBit);
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
