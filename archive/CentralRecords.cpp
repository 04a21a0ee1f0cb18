#include "archive/CentralRecords.h"

#include <algorithm>
#include <unordered_set>

#include "archive/EntryName.h"
#include "archive/ZipRecords.h"

namespace tessaly {

// The extra field and comment are not read; the byte-wise search finds the
// next record past them.
bool CentralRecords::Read(std::uint64_t p, std::uint64_t& next) {
    std::uint8_t bytes[zip::kCentralHeaderLength];
    if (window_.Read(p, bytes, sizeof bytes) < sizeof bytes) return false;
    const zip::CentralHeaderRecord record = zip::DecodeCentralHeader(bytes);
    CentralNote note{record.compressedSize, record.uncompressedSize, record.crc32, record.method,
                     record.flags,          record.nameLength,       {},           record.localHeaderOffset};
    next = p + zip::kCentralHeaderLength + record.nameLength;
    std::uint8_t* name = nameScratch_.data();
    if (window_.Read(p + zip::kCentralHeaderLength, name, record.nameLength) < record.nameLength) return false;
    note.name = DecodeEntryName(name, record.nameLength, (record.flags & zip::kFlagUtf8Name) != 0);
    notes_.push_back(std::move(note));
    byOffset_.clear();
    return true;
}

// Central records count from the start of the archive as written: when junk
// was put in front of it (a stub), every named position is short by the
// stub's length, so a named position without a local header is moved by that
// length when a local header lies there.
void CentralRecords::MergeOffsetsInto(std::vector<std::uint64_t>& offsets) {
    std::uint64_t stubLength = 0;
    if (!offsets.empty() && !notes_.empty()) {
        const auto first = std::min_element(notes_.begin(), notes_.end(), [](const auto& a, const auto& b) {
            return a.localHeaderOffset < b.localHeaderOffset;
        });
        if (offsets.front() > first->localHeaderOffset) stubLength = offsets.front() - first->localHeaderOffset;
    }
    std::unordered_set<std::uint64_t> known(offsets.begin(), offsets.end());
    for (CentralNote& note : notes_) {
        std::uint32_t value = 0;
        const bool isHeader = window_.ReadU32(note.localHeaderOffset, value) && value == zip::kLocalHeaderSignature;
        if (!isHeader && stubLength > 0 && window_.ReadU32(note.localHeaderOffset + stubLength, value) &&
            value == zip::kLocalHeaderSignature)
            note.localHeaderOffset += stubLength;
        if (known.insert(note.localHeaderOffset).second) offsets.push_back(note.localHeaderOffset);
    }
    byOffset_.clear();
}

const CentralNote* CentralRecords::NoteFor(std::uint64_t offset) {
    if (byOffset_.empty()) {
        for (const CentralNote& note : notes_)
            byOffset_.emplace(static_cast<std::uint32_t>(note.localHeaderOffset), &note);
    }
    auto it = byOffset_.find(static_cast<std::uint32_t>(offset));
    return it != byOffset_.end() ? it->second : nullptr;
}

void CentralRecords::CorrectName(CFileHeader& entry, const CentralNote& note) {
    // Offsets are compared as the record stores them: 32 bits.
    if (static_cast<std::uint32_t>(note.localHeaderOffset) != static_cast<std::uint32_t>(entry.localHeaderOffset) ||
        note.nameLength != entry.fileNameLength || note.name == entry.fileName)
        return;
    if (!IsUsableName(entry.fileName) && IsUsableName(note.name)) entry.fileName = note.name;
}

}  // namespace tessaly
