// The entry table and the way entries are found. The archive's own directory
// is never trusted or followed: every entry is found by scanning the file for
// record signatures (SalvageScan), which is what lets truncated, overwritten
// or partly zeroed archives give up what they still hold.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "archive/AutoBuffer.h"
#include "archive/FileHeader.h"
#include "archive/RepairMode.h"
#include "archive/crypto/EntryDecryption.h"

namespace tessaly {

class CZipStorage;
struct ScanState;

// The entry table. A deque grows without moving what it holds, so a large
// table never needs twice its size while it is built.
using EntryTable = std::deque<CFileHeader>;

// What opening an entry learned from its local header, beyond the table.
struct OpenedEntryInfo {
    std::uint64_t dataOffset = 0;      // first byte of the entry's data
    bool zip64 = false;                // the entry carries a ZIP64 extra field
    std::uint16_t method = 0;          // the data's compression method (for AES, from its extra field)
    std::optional<AesExtraField> aes;  // an AES-encrypted entry's extra field
};

class CCentralDir {
public:
    explicit CCentralDir(CZipStorage& storage) : storage(&storage) {}
    virtual ~CCentralDir() = default;

    void Init();
    // Runs the scan strategy the repair mode selects (Quick or Advance; any
    // other value leaves the table empty), reporting its progress to
    // `state`.
    void Read(RepairMode repairMode, const ScanState& state);
    void Clear();

    bool IsValidIndex(std::uint32_t index) const { return index < entries.size(); }
    std::uint32_t Count() const { return static_cast<std::uint32_t>(entries.size()); }
    const CFileHeader& Entry(std::uint32_t index) const { return entries[index]; }

    // Re-reads the entry's local header (raises badArchive when it is cut
    // short or the method is neither stored nor deflated, or an AES entry's
    // extra field does not say how it is encrypted and compressed).
    OpenedEntryInfo OpenEntry(std::uint32_t index);
    void CloseEntry();
    const CFileHeader* OpenedEntry() const { return openedEntry; }

    CZipStorage* storage;
    EntryTable entries;  // discovery order; index = position
    const CFileHeader* openedEntry = nullptr;
    CAutoBuffer localExtra;
    std::string comment;
    // Where the archive ends inside a local header, when the scan met one.
    std::optional<std::uint64_t> cutRecordOffset;

private:
    void ReadAesField(const CFileHeader& entry, OpenedEntryInfo& info);
};

}  // namespace tessaly
