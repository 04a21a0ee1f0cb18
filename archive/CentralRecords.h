// The central directory records the salvage scan meets after the entries.
// They are never a directory to follow: only a second opinion on entries the
// local headers describe (names, methods, stored sizes) and, in Advance
// Repair, a list of positions where more local headers should be.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "archive/FileHeader.h"
#include "archive/ScanWindow.h"

namespace tessaly {

// What one central record says.
struct CentralNote {
    std::uint32_t compressedSize;
    std::uint32_t crc32;
    std::uint16_t method;
    std::uint16_t flags;
    std::uint16_t nameLength;
    std::string name;                 // read when 500 bytes or shorter
    std::uint64_t localHeaderOffset;  // corrected for a stub in front (Advance Repair)
    bool nameRead;
};

class CentralRecords {
public:
    explicit CentralRecords(ScanWindow& window) : window_(window) {}

    // Reads the record at `p`; false when the end of the file cuts it short.
    // `next` is where the search for the next record goes on.
    bool Read(std::uint64_t p, std::uint64_t& next);

    // Adds the positions the records name to `offsets`, each once.
    void MergeOffsetsInto(std::vector<std::uint64_t>& offsets);

    // The record naming the local header at `offset` (as 32 bits), if any.
    const CentralNote* NoteFor(std::uint64_t offset);

    // Quick Repair: the records in order, one per entry whose name was read.
    const std::vector<CentralNote>& Notes() const { return notes_; }

    // Where the record matches the entry's offset, compressed size (as the
    // local header gave it, unless a streaming writer left it out) and name
    // length but names it differently, the record's name wins: a damaged
    // local name is repaired.
    static void CorrectName(CFileHeader& entry, std::uint32_t headerCompressedSize, const CentralNote& note);

private:
    ScanWindow& window_;
    std::vector<CentralNote> notes_;
    std::unordered_map<std::uint32_t, const CentralNote*> byOffset_;  // built on first use
};

}  // namespace tessaly
