#include "archive/EntryVerdict.h"

#include <optional>
#include <sstream>

#include "archive/EntryDecoder.h"
#include "archive/FileCrc.h"
#include "platform/File.h"

namespace tessaly {
namespace {

std::string Hex(std::uint32_t value) {
    std::ostringstream text;
    text << std::hex << value;
    return text.str();
}

}  // namespace

std::uint64_t EntryJudge::ConsumedEnd() const { return dataStart_ + decoder_.Consumed() + trailerSize_; }

EntryVerdict EntryJudge::Judge(const ExtractReport& report) {
    switch (decoder_.State()) {
        case EntryDecoder::Status::DataError:
            if (!decoder_.Problem().empty()) return {ExtractOutcome::Damaged, decoder_.Problem()};
            return {ExtractOutcome::Damaged,
                    "corrupt compressed data after " + std::to_string(report.bytesWritten) + " bytes"};
        case EntryDecoder::Status::Truncated: return {ExtractOutcome::Truncated, "archive ends inside the data"};
        case EntryDecoder::Status::Limited: return {ExtractOutcome::Limited, decoder_.Problem()};
        default: return Finished(report.crc32);
    }
}

// A whole entry is good when its CRC-32 matches, and, where the sizes were
// declared, the data is as long as they say.
EntryVerdict EntryJudge::Finished(std::uint32_t crc) {
    std::optional<zip::DataDescriptorRecord> descriptor;
    const bool compressed = opened_.method != zip::kMethodStored;
    if (compressed && entry_.HasDescriptorFlag()) descriptor = decoder_.ReadTrailingDescriptor(opened_.zip64);

    const bool sizesKnown = !entry_.IsStreamedUnknownSize();
    const std::uint64_t packed = ConsumedEnd() - opened_.dataOffset;  // with any encryption framing
    if (sizesKnown && compressed && entry_.compressedSize != packed)
        return {ExtractOutcome::Damaged, "compressed size " + std::to_string(entry_.compressedSize) +
                                             " declared, stream holds " + std::to_string(packed)};
    if (sizesKnown && entry_.uncompressedSize != decoder_.Produced())
        return {ExtractOutcome::Damaged, "size " + std::to_string(entry_.uncompressedSize) + " declared, data holds " +
                                             std::to_string(decoder_.Produced())};
    // Without sizes or a descriptor, a CRC-32 of 0 is the one a streaming
    // writer leaves before it knows the value: nobody wrote it, and nothing
    // is checked against it. Another one (a header or central record that
    // has it) is checked.
    if (!sizesKnown && !descriptor && entry_.crc32 == 0)
        return {ExtractOutcome::Damaged, "no data descriptor: CRC-32 cannot be checked"};

    const std::uint32_t expected = (!sizesKnown && descriptor) ? descriptor->crc32 : entry_.crc32;
    if (!crcChecked_) return {ExtractOutcome::Ok, {}};
    if (crc != expected)
        return {ExtractOutcome::Damaged, "CRC-32 mismatch (expected " + Hex(expected) + ", got " + Hex(crc) + ")"};
    return {ExtractOutcome::Ok, {}};
}

// (A declared size that is merely too small never matches the CRC-32 of the
// whole content, so it never cuts real data.) A declared size of 0 proves
// nothing (the CRC-32 of no bytes is 0, whatever the stream held): a stream
// the decompressor refused at its start, or one that ran into corrupt data
// at once, is never cut to an "ok" empty file.
bool EntryJudge::TrimToDeclaredSize(CFile& output, ExtractReport& report) const {
    if (entry_.IsStreamedUnknownSize() || entry_.uncompressedSize == 0 || report.bytesWritten < entry_.uncompressedSize)
        return false;
    // A stream that ended cleanly at the declared size was judged already.
    if (report.bytesWritten == entry_.uncompressedSize)
        return decoder_.State() != EntryDecoder::Status::Finished && report.crc32 == entry_.crc32;
    const std::optional<std::uint32_t> crc = CrcOfFileStart(output, entry_.uncompressedSize);
    if (!crc || *crc != entry_.crc32) return false;
    output.SetLength(entry_.uncompressedSize);
    report.bytesWritten = entry_.uncompressedSize;
    report.crc32 = *crc;
    return true;
}

}  // namespace tessaly
