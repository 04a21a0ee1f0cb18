#include "archive/EntryPositions.h"

#include <algorithm>

#include "archive/ZipRecords.h"
#include "archive/ZipStorage.h"

namespace tessaly {
namespace {

bool IsRecordSignature(std::uint32_t value) {
    return value == zip::kLocalHeaderSignature || value == zip::kCentralHeaderSignature ||
           value == zip::kDescriptorSignature || value == zip::kEndRecordSignature;
}

}  // namespace

std::uint64_t EntryPositions::NextHeaderFrom(std::uint64_t offset) {
    if (headerOffsets_.empty()) {
        headerOffsets_.reserve(entries_.size());
        for (const CFileHeader& other : entries_) headerOffsets_.push_back(other.localHeaderOffset);
        std::sort(headerOffsets_.begin(), headerOffsets_.end());
    }
    auto next = std::lower_bound(headerOffsets_.begin(), headerOffsets_.end(), offset);
    return next != headerOffsets_.end() ? std::min(*next, storage_.Length()) : storage_.Length();
}

// A declared compressed size counts when a record follows right after it
// (for a streamed entry, a data descriptor with or without its signature
// and a record after it); a streamed entry of unknown size ends where a
// descriptor in front of the next header says. A declared size with no
// record after it may be damaged, and limits nothing.
std::uint64_t EntryPositions::DataRoom(const CFileHeader& entry, std::uint64_t dataOffset) {
    const std::uint64_t next = NextHeaderFrom(dataOffset);
    const std::uint64_t room = next - std::min(next, dataOffset);
    if (entry.IsStreamedUnknownSize()) return std::min(room, DescribedLength(dataOffset, next).value_or(room));
    if (entry.compressedSize >= room) return room;
    std::uint8_t bytes[4 + zip::kZip64DescriptorLength];
    storage_.Seek(dataOffset + entry.compressedSize);
    const std::size_t got = storage_.file.Read(bytes, sizeof bytes);
    // Right after the data: a record, or a descriptor without its signature
    // (32- or 64-bit sizes) and a record.
    for (std::size_t skipped : {std::size_t{0}, zip::kDescriptorLength - 4, zip::kZip64DescriptorLength - 4}) {
        if (skipped > 0 && !entry.HasDescriptorFlag()) break;
        if (got >= skipped + 4 && IsRecordSignature(zip::LoadU32(bytes + skipped))) return entry.compressedSize;
    }
    return room;
}

// The data length a data descriptor ending at `end` gives, when it is the
// distance from `dataOffset` to the descriptor (32- or 64-bit sizes, with or
// without its signature).
std::optional<std::uint64_t> EntryPositions::DescribedLength(std::uint64_t dataOffset, std::uint64_t end) {
    struct Form {
        std::size_t length;
        bool sizes64;
        bool signature;
    };
    constexpr Form kForms[] = {{zip::kDescriptorLength, false, true},
                               {zip::kDescriptorLength - 4, false, false},
                               {zip::kZip64DescriptorLength, true, true},
                               {zip::kZip64DescriptorLength - 4, true, false}};
    std::uint8_t bytes[zip::kZip64DescriptorLength];
    for (const Form& form : kForms) {
        if (end < dataOffset || end - dataOffset < form.length) continue;
        storage_.Seek(end - form.length);
        if (storage_.file.Read(bytes, form.length) < form.length) continue;
        if (form.signature && zip::LoadU32(bytes) != zip::kDescriptorSignature) continue;
        const zip::DataDescriptorRecord record =
            zip::DecodeDescriptorFields(bytes + (form.signature ? 4 : 0), form.sizes64);
        if (record.compressedSize == end - form.length - dataOffset) return record.compressedSize;
    }
    return std::nullopt;
}

}  // namespace tessaly
