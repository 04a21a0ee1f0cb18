#include "archive/CentralRecords.h"

#include <algorithm>
#include <unordered_set>

#include "archive/EntryDecryption.h"
#include "archive/EntryName.h"
#include "archive/ZipRecords.h"

namespace tessaly {

// The comment is not read, nor the extra field but an AES entry's; the
// byte-wise search finds the next record past them.
bool CentralRecords::Read(std::uint64_t p, std::uint64_t& next) {
    std::uint8_t bytes[zip::kCentralHeaderLength];
    if (window_.Read(p, bytes, sizeof bytes) < sizeof bytes) return false;
    const zip::CentralHeaderRecord record = zip::DecodeCentralHeader(bytes);
    CentralNote note{record.compressedSize,
                     record.uncompressedSize,
                     record.crc32,
                     record.method,
                     record.flags,
                     record.nameLength,
                     p,
                     record.localHeaderOffset};
    next = p + zip::kCentralHeaderLength + record.nameLength;
    if (next > window_.Length()) return false;
    if (record.method == kMethodAes) ReadAesField(next, record.extraLength, note);
    notes_.push_back(note);
    byOffset_.clear();
    return true;
}

// The AES field repairs a local one that damage made unreadable.
void CentralRecords::ReadAesField(std::uint64_t extraOffset, std::uint16_t extraLength, CentralNote& note) {
    const std::size_t got = window_.Read(extraOffset, nameScratch_.data(), extraLength);
    if (const std::optional<AesExtraField> field = FindAesExtraField(nameScratch_.data(), got)) {
        note.aesStrength = field->strength;
        note.aesMethod = field->method;
    }
}

// Central records count from the start of the archive as written: when junk
// was put in front of it (a stub), every named position is short by the
// stub's length, found from the first local header the forward scan met. A
// named position without a local header is moved by that length when a
// local header lies there.
void CentralRecords::AdjustForStub(std::uint64_t firstHeader) {
    if (notes_.empty()) return;
    const auto first = std::min_element(notes_.begin(), notes_.end(), [](const auto& a, const auto& b) {
        return a.localHeaderOffset < b.localHeaderOffset;
    });
    if (firstHeader <= first->localHeaderOffset) return;
    const std::uint64_t stubLength = firstHeader - first->localHeaderOffset;
    for (CentralNote& note : notes_) {
        std::uint32_t value = 0;
        const bool isHeader = window_.ReadU32(note.localHeaderOffset, value) && value == zip::kLocalHeaderSignature;
        if (!isHeader && window_.ReadU32(note.localHeaderOffset + stubLength, value) &&
            value == zip::kLocalHeaderSignature)
            note.localHeaderOffset += stubLength;
    }
    byOffset_.clear();
}

void CentralRecords::MergeOffsetsInto(std::vector<std::uint64_t>& offsets) {
    std::vector<std::uint64_t> found(offsets);
    std::sort(found.begin(), found.end());
    std::unordered_set<std::uint64_t> added;  // positions only the records name: few
    for (const CentralNote& note : notes_) {
        if (!std::binary_search(found.begin(), found.end(), note.localHeaderOffset) &&
            added.insert(note.localHeaderOffset).second)
            offsets.push_back(note.localHeaderOffset);
    }
    byOffset_.clear();
}

const CentralNote* CentralRecords::NoteFor(std::uint64_t offset) {
    if (byOffset_.empty() && !notes_.empty()) {
        byOffset_.reserve(notes_.size());
        for (std::uint32_t i = 0; i < notes_.size(); ++i)
            byOffset_.emplace_back(static_cast<std::uint32_t>(notes_[i].localHeaderOffset), i);
        // The first record naming an offset speaks for it.
        std::stable_sort(byOffset_.begin(), byOffset_.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
    }
    const auto key = static_cast<std::uint32_t>(offset);
    auto it = std::lower_bound(byOffset_.begin(), byOffset_.end(), key,
                               [](const auto& entry, std::uint32_t value) { return entry.first < value; });
    return it != byOffset_.end() && it->first == key ? &notes_[it->second] : nullptr;
}

std::string CentralRecords::NameOf(const CentralNote& note) {
    const std::size_t got =
        window_.Read(note.recordOffset + zip::kCentralHeaderLength, nameScratch_.data(), note.nameLength);
    return DecodeEntryName(nameScratch_.data(), got, (note.flags & zip::kFlagUtf8Name) != 0);
}

void CentralRecords::CorrectName(CFileHeader& entry, const CentralNote& note) {
    // Offsets are compared as the record stores them: 32 bits.
    if (static_cast<std::uint32_t>(note.localHeaderOffset) != static_cast<std::uint32_t>(entry.localHeaderOffset) ||
        note.nameLength != entry.fileNameLength || IsUsableName(entry.fileName))
        return;
    std::string name = NameOf(note);
    if (IsUsableName(name)) entry.fileName = std::move(name);
}

}  // namespace tessaly
