// The central directory records the salvage scan meets after the entries.
// They are never a directory to follow: only a second opinion on entries the
// local headers describe (names, methods, stored sizes) and, in Advance
// Repair, a list of positions where more local headers should be, or where
// one was lost. A record whose position holds no entry of this archive (a
// second archive's directory, junk) is no entry of it.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "archive/FileHeader.h"
#include "archive/ZipRecords.h"
#include "archive/scan/ScanWindow.h"

namespace tessaly {

// Where the forward scan met a local header and trusted the end of its data
// (the jump over it landed on a record).
struct ScanExtent {
    std::uint64_t start;  // the local header
    std::uint64_t end;    // one past its data
};

// What one central record says.
struct CentralNote {
    std::uint32_t compressedSize;
    std::uint32_t uncompressedSize;
    std::uint32_t crc32;
    std::uint16_t method;
    std::uint16_t flags;
    std::uint16_t nameLength;
    std::uint64_t recordOffset;       // where the record is; its name is read from there when needed
    std::uint64_t localHeaderOffset;  // placed in the file by PlaceDirectories
    std::uint32_t directory;          // records that follow each other make one directory
    // An AES-encrypted entry's strength and real method, from the record's
    // AES extra field (0 when it has none).
    std::uint8_t aesStrength = 0;
    std::uint16_t aesMethod = 0;
    bool foreign = false;  // names no entry of this archive (PlaceDirectories)
};

class CentralRecords {
public:
    explicit CentralRecords(ScanWindow& window) : window_(window), nameScratch_(zip::kMaxFieldLength) {}

    // Reads the record at `p`; false when the end of the file cuts it short.
    // `next` is where the search for the next record goes on.
    bool Read(std::uint64_t p, std::uint64_t& next);

    // Adds the positions the records name to `offsets`, each once.
    void MergeOffsetsInto(std::vector<std::uint64_t>& offsets);

    // Places the positions each directory names in this file, given the
    // local headers the forward scan met (sorted) and the data it trusted,
    // and forgets the records that name no entry of this archive.
    void PlaceDirectories(const std::vector<std::uint64_t>& headers, const std::vector<ScanExtent>& extents);

    // Whether a local header of the record's entry is at `offset`, damaged
    // or not: its signature; the record's name length with its method or
    // name; or the record's method, CRC-32 and compressed size.
    bool HeaderAt(std::uint64_t offset, const CentralNote& note);

    // Fills an entry whose local header is lost from its central record.
    void TakeRecord(CFileHeader& entry, const CentralNote& note);

    // The record naming the local header at `offset` (as 32 bits), if any.
    const CentralNote* NoteFor(std::uint64_t offset);

    bool Empty() const { return notes_.empty(); }

    // Where the record names the entry's local header with a name of the
    // same length, and the local name is unusable (junk, or nothing left of
    // it) while the record's is usable, the record's name repairs it.
    void CorrectName(CFileHeader& entry, const CentralNote& note);

    // Where both names are usable and differ, one of them was damaged: the
    // record's is taken when the rest of the record agrees with the entry
    // (method, CRC-32, sizes), and the entry notes it.
    void PreferRecordedName(CFileHeader& entry, const CentralNote& note);

    // The record's name, read again from the file.
    std::string NameOf(const CentralNote& note);

private:
    void ReadAesField(std::uint64_t extraOffset, std::uint16_t extraLength, CentralNote& note);
    std::size_t PlaceDirectory(std::size_t begin, std::size_t end, const std::vector<std::uint64_t>& headers,
                               const std::vector<std::uint32_t>& found);
    std::size_t Landing(std::size_t begin, std::size_t end, std::uint64_t shift,
                        const std::vector<std::uint32_t>& found) const;
    void MarkForeign(std::size_t begin, std::size_t end, std::size_t landed, const std::vector<std::uint64_t>& headers,
                     const std::vector<std::uint32_t>& found, const std::vector<ScanExtent>& extents);
    bool NoHeaderFits(std::uint64_t at, std::uint64_t directoryStart, const std::vector<ScanExtent>& extents);
    bool EndsAnEntry(std::uint64_t at, const std::vector<std::uint64_t>& headers);
    void AddEnds(const CentralNote& note, std::unordered_set<std::uint64_t>& ends);
    bool SameNameBytes(std::uint64_t localName, const CentralNote& note);

    ScanWindow& window_;
    std::vector<std::uint8_t> nameScratch_;
    std::deque<CentralNote> notes_;  // grows without moving what it holds
    std::uint32_t directories_ = 0;
    std::uint64_t directoryEnd_ = UINT64_MAX;  // where the last record read ends
    // (local header offset as 32 bits, note index), sorted; built on first use.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> byOffset_;
};

}  // namespace tessaly
