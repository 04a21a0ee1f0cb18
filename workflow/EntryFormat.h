// The texts of one row of the entry preview: sizes with their unit, the
// compression ratio, the modification time and the CRC-32, exactly as the
// preview list and the command-line listing show them.
//
// Pure formatting: no file access, no locale dependence (the time is always
// written with English month names and a 24-hour clock), no toolkit.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace tessaly {

class CFileHeader;

// "1023   Bytes", "1   KB", "5   MB", "2   GB": the count in the largest
// unit (of 1024) that keeps it below 1024, GB at most, three blanks between
// number and unit.
std::string FormatEntrySize(std::uint64_t bytes);

// compressed * 100 / uncompressed, integer division, with a percent sign;
// "0%" when the entry is empty.
std::string FormatEntryRatio(std::uint64_t compressed, std::uint64_t uncompressed);

// "07 Dec 2026, 03:24:26" for a local time; empty for -1 (no valid time).
std::string FormatEntryTime(std::time_t when);

// The CRC-32 as an unsigned decimal number.
std::string FormatEntryCrc(std::uint32_t crc);

// How the entry is encrypted, for a person deciding what to save: empty
// for an entry that is not, "Password needed (WinZip AES encryption)" for
// one a password opens, "No password opens it here (strong encryption)"
// for one it does not.
std::string FormatEntryEncryption(const CFileHeader& header);

// The columns of a preview row, in column order.
struct EntryRow {
    std::string name;        // as the archive layer hands it out ("\" between folders)
    std::string size;        // uncompressed
    std::string packedSize;  // compressed
    std::string ratio;
    std::string modifiedTime;
    std::string crc;
    std::string encryption;  // FormatEntryEncryption
};

EntryRow FormatEntryRow(const CFileHeader& header);

}  // namespace tessaly
