#include "archive/LostOutput.h"

#include "archive/EntryDecoder.h"

namespace tessaly {

std::vector<ByteRange> LostOutput(const EntryVerdict& verdict, const EntryDecoder& decoder, std::uint64_t written) {
    std::vector<ByteRange> lost;
    if (verdict.outcome != ExtractOutcome::Damaged) return lost;
    std::uint64_t certain = 0;
    if (decoder.State() == EntryDecoder::Status::DataError && decoder.Break())
        certain = std::min(decoder.Break()->certainOutput, written);
    AppendRange(lost, certain, written);
    return lost;
}

}  // namespace tessaly
