#include "archive/scan/CentralRecords.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <unordered_set>

#include "archive/EntryName.h"
#include "archive/ZipRecords.h"
#include "archive/crypto/EntryDecryption.h"

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
                     record.localHeaderOffset,
                     p == directoryEnd_ ? directories_ : ++directories_};
    next = p + zip::kCentralHeaderLength + record.nameLength;
    if (next > window_.Length()) return false;
    directoryEnd_ = next + record.extraLength + record.commentLength;
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

namespace {
bool IsSentinel(std::uint64_t offset) { return offset == zip::kZip64Sentinel; }

// Whether the record's word on the entry matches what the local header and
// the data gave: the same method, CRC-32 and sizes, known on both sides.
bool AgreesWith(const CFileHeader& entry, const CentralNote& note) {
    if (entry.method != note.method || entry.IsStreamedUnknownSize() || entry.crc32 != note.crc32) return false;
    if (note.compressedSize != zip::kZip64Sentinel && note.compressedSize != entry.compressedSize) return false;
    return note.uncompressedSize == zip::kZip64Sentinel || note.uncompressedSize == entry.uncompressedSize;
}
}  // namespace

// Central records count from the start of their own archive as written.
// Junk put in front of it (a stub), a part cut off its front, or a second
// archive appended after the first moves that start: each directory's
// positions are moved by the distance under which most of them land on a
// local header the forward scan met.
void CentralRecords::PlaceDirectories(const std::vector<std::uint64_t>& headers,
                                      const std::vector<ScanExtent>& extents) {
    if (notes_.empty()) return;
    std::vector<std::uint32_t> found;  // as the records hold positions: 32 bits
    found.reserve(headers.size());
    for (std::uint64_t header : headers) found.push_back(static_cast<std::uint32_t>(header));
    std::sort(found.begin(), found.end());
    for (std::size_t begin = 0; begin < notes_.size();) {
        std::size_t end = begin + 1;
        while (end < notes_.size() && notes_[end].directory == notes_[begin].directory) ++end;
        const std::size_t landed = PlaceDirectory(begin, end, headers, found);
        MarkForeign(begin, end, landed, headers, found, extents);
        begin = end;
    }
    notes_.erase(std::remove_if(notes_.begin(), notes_.end(), [](const CentralNote& note) { return note.foreign; }),
                 notes_.end());
    byOffset_.clear();
}

// Tries the directory as written, measured from the first header met (a
// stub in front), and measured so that its last entry is the last header
// before the directory (an archive appended to another, or cut at its
// front); keeps the one under which most positions land on a header met.
// Returns how many land.
std::size_t CentralRecords::PlaceDirectory(std::size_t begin, std::size_t end,
                                           const std::vector<std::uint64_t>& headers,
                                           const std::vector<std::uint32_t>& found) {
    std::uint64_t low = UINT64_MAX;
    std::uint64_t high = 0;
    for (std::size_t i = begin; i < end; ++i) {
        const std::uint64_t at = notes_[i].localHeaderOffset;
        if (IsSentinel(at)) continue;
        low = std::min(low, at);
        high = std::max(high, at);
    }
    if (headers.empty() || low == UINT64_MAX) return 0;
    // Shifts are taken modulo 2^64 and positions compared as 32 bits.
    std::vector<std::uint64_t> shifts = {headers.front() - low};
    auto before = std::lower_bound(headers.begin(), headers.end(), notes_[begin].recordOffset);
    if (before != headers.begin()) shifts.push_back(*std::prev(before) - high);
    std::uint64_t best = 0;
    std::size_t bestLanded = Landing(begin, end, 0, found);
    for (std::uint64_t shift : shifts) {
        const std::size_t landed = Landing(begin, end, shift, found);
        if (landed > bestLanded) {
            best = shift;
            bestLanded = landed;
        }
    }
    for (std::size_t i = begin; i < end && best != 0; ++i) {
        CentralNote& note = notes_[i];
        if (!IsSentinel(note.localHeaderOffset))
            note.localHeaderOffset = static_cast<std::uint32_t>(note.localHeaderOffset + best);
    }
    return bestLanded;
}

std::size_t CentralRecords::Landing(std::size_t begin, std::size_t end, std::uint64_t shift,
                                    const std::vector<std::uint32_t>& found) const {
    std::size_t landed = 0;
    for (std::size_t i = begin; i < end; ++i) {
        const std::uint64_t at = notes_[i].localHeaderOffset;
        if (!IsSentinel(at) && std::binary_search(found.begin(), found.end(), static_cast<std::uint32_t>(at + shift)))
            ++landed;
    }
    return landed;
}

// A record whose position holds no local header of its entry still names
// an entry whose header was lost, unless that position cannot hold one. In
// a directory most of whose records name no header the scan met (another
// archive's, or junk), a lost header must also sit where an entry before
// it ends.
void CentralRecords::MarkForeign(std::size_t begin, std::size_t end, std::size_t landed,
                                 const std::vector<std::uint64_t>& headers, const std::vector<std::uint32_t>& found,
                                 const std::vector<ScanExtent>& extents) {
    const bool placedBadly = end - begin >= 2 && landed * 2 < end - begin;
    std::vector<std::size_t> lost;
    for (std::size_t i = begin; i < end; ++i) {
        CentralNote& note = notes_[i];
        const std::uint64_t at = note.localHeaderOffset;
        // A ZIP64 position is in the record's extra field, which is not read.
        if (IsSentinel(at)) {
            note.foreign = true;
            continue;
        }
        if (std::binary_search(found.begin(), found.end(), static_cast<std::uint32_t>(at)) ||
            (at < window_.Length() && HeaderAt(at, note)))
            continue;
        note.foreign = NoHeaderFits(at, notes_[begin].recordOffset, extents);
        if (!note.foreign && placedBadly) lost.push_back(i);
    }
    std::sort(lost.begin(), lost.end(), [this](std::size_t a, std::size_t b) {
        return notes_[a].localHeaderOffset < notes_[b].localHeaderOffset;
    });
    std::unordered_set<std::uint64_t> lostEnds;
    for (std::size_t i : lost) {
        CentralNote& note = notes_[i];
        note.foreign = lostEnds.count(note.localHeaderOffset) == 0 && !EndsAnEntry(note.localHeaderOffset, headers);
        if (!note.foreign) AddEnds(note, lostEnds);
    }
}

// Past the end of the file, at or past its own directory, on another kind
// of record, or inside data the forward scan trusted, no header can be.
bool CentralRecords::NoHeaderFits(std::uint64_t at, std::uint64_t directoryStart,
                                  const std::vector<ScanExtent>& extents) {
    if (at >= window_.Length() || at >= directoryStart) return true;
    std::uint32_t value = 0;
    if (window_.ReadU32(at, value) && (value == zip::kCentralHeaderSignature || value == zip::kEndRecordSignature ||
                                       value == zip::kDescriptorSignature))
        return true;
    auto after = std::upper_bound(extents.begin(), extents.end(), at,
                                  [](std::uint64_t value, const ScanExtent& extent) { return value < extent.start; });
    return after != extents.begin() && at < std::prev(after)->end;
}

// Where the entry whose header the scan met last before `at` ends, as its
// header declares, with or without a data descriptor; or a descriptor just
// in front of `at`.
bool CentralRecords::EndsAnEntry(std::uint64_t at, const std::vector<std::uint64_t>& headers) {
    std::uint32_t value = 0;
    for (std::uint64_t descriptor : {zip::kDescriptorLength, zip::kZip64DescriptorLength}) {
        if (at >= descriptor && window_.ReadU32(at - descriptor, value) && value == zip::kDescriptorSignature)
            return true;
    }
    auto after = std::lower_bound(headers.begin(), headers.end(), at);
    if (after == headers.begin()) return false;
    std::uint8_t bytes[zip::kLocalHeaderLength];
    const std::uint64_t header = *std::prev(after);
    if (window_.Read(header, bytes, sizeof bytes) < sizeof bytes) return false;
    const zip::LocalHeaderRecord local = zip::DecodeLocalHeader(bytes);
    for (std::uint16_t extra : {local.extraLength, zip::TolerantExtraLength(local.extraLength)}) {
        const std::uint64_t dataEnd =
            header + zip::kLocalHeaderLength + local.nameLength + extra + local.compressedSize;
        for (std::uint64_t descriptor : {0, 12, 16, 20, 24})
            if (dataEnd + descriptor == at) return true;
    }
    return false;
}

// Where the next header would begin after an entry whose header is lost,
// by its central record.
void CentralRecords::AddEnds(const CentralNote& note, std::unordered_set<std::uint64_t>& ends) {
    std::uint8_t bytes[zip::kCentralHeaderLength];
    if (window_.Read(note.recordOffset, bytes, sizeof bytes) < sizeof bytes) return;
    const zip::CentralHeaderRecord record = zip::DecodeCentralHeader(bytes);
    const std::uint64_t dataEnd = note.localHeaderOffset + zip::kLocalHeaderLength + record.nameLength +
                                  record.extraLength + record.compressedSize;
    for (std::uint64_t descriptor : {0, 12, 16, 20, 24}) ends.insert(dataEnd + descriptor);
}

bool CentralRecords::HeaderAt(std::uint64_t offset, const CentralNote& note) {
    std::uint8_t bytes[zip::kLocalHeaderLength];
    if (window_.Read(offset, bytes, sizeof bytes) < sizeof bytes) return false;
    const zip::LocalHeaderRecord local = zip::DecodeLocalHeader(bytes);
    if (local.signature == zip::kLocalHeaderSignature) return true;
    if (local.nameLength == note.nameLength && note.nameLength != 0 &&
        (local.method == note.method || SameNameBytes(offset + zip::kLocalHeaderLength, note)))
        return true;
    // A header whose name length was damaged too still agrees on the data.
    return local.method == note.method && local.crc32 == note.crc32 && local.compressedSize == note.compressedSize &&
           (local.crc32 != 0 || local.compressedSize != 0);
}

// The record's name bytes are read once; the local ones are compared in
// small pieces from one place in the file.
bool CentralRecords::SameNameBytes(std::uint64_t localName, const CentralNote& note) {
    const std::size_t length = note.nameLength;
    if (window_.Read(note.recordOffset + zip::kCentralHeaderLength, nameScratch_.data(), length) < length) return false;
    std::uint8_t piece[256];
    for (std::size_t done = 0; done < length;) {
        const std::size_t n = std::min(sizeof piece, length - done);
        if (window_.Read(localName + done, piece, n) < n || std::memcmp(piece, nameScratch_.data() + done, n) != 0)
            return false;
        done += n;
    }
    return true;
}

// The record's sizes stand for the entry's; a streamed entry's record may
// say 0 for data it never measured, so those are not taken for an empty file.
void CentralRecords::TakeRecord(CFileHeader& entry, const CentralNote& note) {
    std::uint8_t bytes[zip::kCentralHeaderLength];
    window_.Read(note.recordOffset, bytes, sizeof bytes);  // read whole when the note was made
    const zip::CentralHeaderRecord record = zip::DecodeCentralHeader(bytes);
    entry.TakeSharedFields(record);
    entry.versionMadeBy = record.versionMadeBy;
    entry.sizesFound = false;
    entry.externalAttributes = record.externalAttributes;
    entry.centralAesStrength = note.aesStrength;
    entry.centralAesMethod = note.aesMethod;
    entry.fileName = NameOf(note);
    entry.localHeaderLost = true;
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

void CentralRecords::PreferRecordedName(CFileHeader& entry, const CentralNote& note) {
    if (entry.localHeaderLost || !AgreesWith(entry, note)) return;
    std::string recorded = NameOf(note);
    if (recorded == entry.fileName || !IsUsableName(recorded)) return;
    entry.repairNote = IsUsableName(entry.fileName)
                           ? "name from the central record; the local header says \"" + entry.fileName + "\""
                           : "name from the central record";
    entry.fileName = std::move(recorded);
}

}  // namespace tessaly
