// The central directory records the salvage scan meets after the entries.
// They are never a directory to follow: only a second opinion on entries the
// local headers describe (names, methods, stored sizes) and, in Advance
// Repair, a list of positions where more local headers should be.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <unordered_map>
#include <vector>

#include "archive/FileHeader.h"
#include "archive/ScanWindow.h"
#include "archive/ZipRecords.h"

namespace tessaly {

// What one central record says.
struct CentralNote {
    std::uint32_t compressedSize;
    std::uint32_t uncompressedSize;
    std::uint32_t crc32;
    std::uint16_t method;
    std::uint16_t flags;
    std::uint16_t nameLength;
    std::uint64_t recordOffset;       // where the record is; its name is read from there when needed
    std::uint64_t localHeaderOffset;  // corrected for a stub in front (Advance Repair)
    // An AES-encrypted entry's strength and real method, from the record's
    // AES extra field (0 when it has none).
    std::uint8_t aesStrength = 0;
    std::uint16_t aesMethod = 0;
};

class CentralRecords {
public:
    explicit CentralRecords(ScanWindow& window) : window_(window), nameScratch_(zip::kMaxFieldLength) {}

    // Reads the record at `p`; false when the end of the file cuts it short.
    // `next` is where the search for the next record goes on.
    bool Read(std::uint64_t p, std::uint64_t& next);

    // Adds the positions the records name to `offsets`, each once.
    void MergeOffsetsInto(std::vector<std::uint64_t>& offsets);

    // Moves the positions the records name past a stub in front of the
    // archive, given the first local header the forward scan met.
    void AdjustForStub(std::uint64_t firstHeader);

    // The record naming the local header at `offset` (as 32 bits), if any.
    const CentralNote* NoteFor(std::uint64_t offset);

    bool Empty() const { return notes_.empty(); }

    // Where the record names the entry's local header with a name of the
    // same length, and the local name is unusable (junk, or nothing left of
    // it) while the record's is usable, the record's name repairs it. Where
    // both are usable the local name stands: its header carries the data.
    void CorrectName(CFileHeader& entry, const CentralNote& note);

    // The record's name, read again from the file.
    std::string NameOf(const CentralNote& note);

private:
    void ReadAesField(std::uint64_t extraOffset, std::uint16_t extraLength, CentralNote& note);
    ScanWindow& window_;
    std::vector<std::uint8_t> nameScratch_;
    std::deque<CentralNote> notes_;  // grows without moving what it holds
    // (local header offset as 32 bits, note index), sorted; built on first use.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> byOffset_;
};

}  // namespace tessaly
