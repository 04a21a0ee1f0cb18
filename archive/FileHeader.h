// One archive entry as the salvage scan found it. Callers only ever receive
// deep copies (CZipArchive::GetEntryInfo).
//
// Sizes and the local-header offset are 64-bit so that entries past 4 GiB,
// and ZIP64 sizes, are addressed correctly; the record fields they come from
// are 32-bit.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "archive/AutoBuffer.h"

namespace tessaly {

class CFileHeader {
public:
    CFileHeader() = default;
    CFileHeader(const CFileHeader&) = default;
    CFileHeader& operator=(const CFileHeader&) = default;

    // Takes the fields a local header and a central record share: version
    // needed, flags, method, time, CRC-32, sizes, name and extra lengths.
    template <typename Record>
    void TakeSharedFields(const Record& record) {
        versionNeeded = record.versionNeeded;
        flags = record.flags;
        method = record.method;
        modTime = record.modTime;
        modDate = record.modDate;
        crc32 = record.crc32;
        compressedSize = record.compressedSize;
        uncompressedSize = record.uncompressedSize;
        fileNameLength = record.nameLength;
        extraFieldLength = record.extraLength;
    }
    virtual ~CFileHeader() = default;

    // Local time from the DOS date and time; out-of-range fields are
    // normalised the way mktime does (date 0 is 30 November 1979). Returns
    // -1 when the time cannot be represented.
    std::time_t GetModificationTime() const;

    // Where the entry's data begins: after the local header, name and extra
    // field as the scan read them.
    std::uint64_t DataOffset() const { return localHeaderOffset + 30 + fileNameLength + extraFieldLength; }
    bool IsEncrypted() const { return (flags & 0x0001) != 0; }
    bool HasDescriptorFlag() const { return (flags & 0x0008) != 0; }
    // Written by a streaming writer: sizes follow the data, none known yet.
    bool IsStreamedUnknownSize() const {
        return HasDescriptorFlag() && !sizesFound && compressedSize == 0 && uncompressedSize == 0;
    }
    bool IsDirectory() const { return (externalAttributes & 0x10) != 0; }

    std::uint8_t signature[4] = {0, 0, 0, 0};
    std::uint16_t versionMadeBy = 0;
    std::uint16_t versionNeeded = 0;
    std::uint16_t flags = 0;
    std::uint16_t method = 8;
    std::uint16_t modTime = 0;
    std::uint16_t modDate = 0;
    std::uint32_t crc32 = 0;
    // The scan found a streamed entry's sizes after its data (a descriptor,
    // the central record, the stored data's end), even when they are 0.
    // (Kept beside the CRC-32, where it costs no room.)
    bool sizesFound = false;
    // What the central record's AES field says of an AES-encrypted entry
    // (0: nothing), for a local AES field that damage made unreadable.
    std::uint8_t centralAesStrength = 0;
    std::uint16_t centralAesMethod = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t uncompressedSize = 0;
    std::uint16_t fileNameLength = 0;
    std::uint16_t localExtraLength = 0;
    std::uint16_t extraFieldLength = 0;
    std::uint16_t commentLength = 0;
    std::uint16_t diskStart = 0;
    std::uint16_t internalAttributes = 0;
    std::uint32_t externalAttributes = 0x20;  // the archive attribute
    std::uint64_t localHeaderOffset = 0;
    std::string fileName;    // UTF-8
    CAutoBuffer extraField;  // left empty by the scan: opening an entry reads it again
    std::string comment;
    // The local header is gone (zeroed or overwritten) and the central
    // record naming its place is all the scan has of the entry: name, time,
    // attributes and sizes come from there, its data cannot be placed.
    bool localHeaderLost = false;
    // What the scan took from the central record over the local header,
    // for the entry's report (empty when nothing).
    std::string repairNote;
};

}  // namespace tessaly
