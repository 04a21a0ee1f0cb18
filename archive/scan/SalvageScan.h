// The salvage scan: finds entries by their record signatures, never by the
// archive's directory.
//
// Quick Repair takes every local header a forward scan meets, and uses the
// central records after the last entry only to correct names. Advance Repair
// also reads an entry at every local-header position a central record names,
// so entries the forward scan stepped over are found too.
//
// A header (or its name) cut off by the end of the file ends that pass when
// no record follows it; the entries found before it are kept. With records
// after it, it is a signature inside some entry's data and is passed over.
// Nothing here allocates from a size the archive declares.
//
// A header that cannot yield any data (an unknown method, a name that is
// junk or leaves nothing to write, data that would start past the end of the
// file) costs no table entry unless a central record names it and may
// repair it: a file of nothing but signatures makes an empty table, in
// memory that does not grow with it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "archive/CentralDir.h"
#include "archive/FileHeader.h"
#include "archive/ZipRecords.h"
#include "archive/scan/CentralRecords.h"
#include "archive/scan/ScanWindow.h"

namespace tessaly {

class CZipStorage;
struct ScanState;

class SalvageScan {
public:
    SalvageScan(CZipStorage& storage, const ScanState& state, EntryTable& entries);

    void RunQuick();
    void RunAdvance();

    // Where the forward scan met a local header the end of the file cuts
    // short (the archive ends inside that record), if it did.
    std::optional<std::uint64_t> CutHeaderOffset() const { return cutHeaderAt_; }

private:
    // Hopeless: the fixed part was read but the header cannot yield data on
    // its own word; the entry may be only partly filled.
    enum class HeaderRead { Whole, Hopeless, CutShort };
    class Progress;

    template <typename OnHeader>
    void LocalPass(bool reportResumeOffset, OnHeader onHeader);
    void CentralPass(CentralRecords& records);

    HeaderRead ReadLocalHeader(std::uint64_t p, CFileHeader& entry, bool evenIfHopeless = false);
    // A header at `p` the end of the file cuts short: false, which ends the
    // pass, when no record follows it; else `next` passes over it.
    bool PassOverCutHeader(std::uint64_t p, std::uint64_t& next);
    bool RecordFollows(std::uint64_t p);
    void NoteExtent(std::uint64_t p, std::uint64_t next);
    static std::vector<std::uint64_t> Merged(const std::vector<std::uint64_t>& a, const std::vector<std::uint64_t>& b);
    bool Affordable(std::size_t bytes);
    void ReadSizesFromExtra(CFileHeader& entry, std::uint64_t extraOffset);
    void LookBehind(std::uint64_t p, CFileHeader* current);
    void ApplyDescriptor(std::uint64_t descriptorOffset, std::uint32_t crc, std::uint64_t compressed,
                         std::uint64_t uncompressed);
    std::uint64_t NextAfterLocal(std::uint64_t p, CFileHeader& entry);
    std::optional<std::uint64_t> TrustedJump(std::uint64_t dataStart, std::uint64_t compressedSize);
    bool LandsOnRecord(std::uint64_t target);
    void ApplyStoredStreamEnd(CFileHeader& entry) const;
    void AddEntry(CFileHeader&& entry);

    void AddRepairable(const std::vector<std::uint64_t>& doubtful, CentralRecords& records);
    void RepairFromCentral(CentralRecords& records);
    static void RepairHeaderFields(CFileHeader& entry, const CentralNote& note);
    static void TakeStreamedSizes(CFileHeader& entry, const CentralNote& note);
    void RepairNameLength(CFileHeader& entry, const CentralNote& note, CentralRecords& records);
    void ResolveStoredLength(CFileHeader& entry, const CentralNote* note, std::vector<std::uint64_t>& headerOffsets);

    CZipStorage& storage_;
    const ScanState& state_;
    EntryTable& entries_;
    ScanWindow window_;
    std::vector<std::uint8_t> nameScratch_;
    std::vector<std::uint8_t> extraScratch_;
    // Whether the last header read carries a ZIP64 extra field.
    bool headerZip64_ = false;
    // Names and extra fields are read from the file; a flood of headers that
    // each declare 64 KiB of them could make that cost quadratic, so the
    // bytes read for them are budgeted.
    std::uint64_t headerBytesBudget_;
    std::uint64_t resumeOffset_ = 0;
    std::optional<std::uint64_t> cutHeaderAt_;
    // The last record in the file's last 64 KiB that the end of the file
    // does not cut short (UINT64_MAX: none), found when first needed.
    std::optional<std::uint64_t> lastWholeRecord_;
    // The stretches of data the forward scan jumped over, in file order.
    std::vector<ScanExtent> extents_;
    // Finding the entry whose data starts at an offset, for the descriptor
    // look-behind: a binary search while entries come in file order (the
    // forward scan), else a map built on demand.
    bool dataOffsetsSorted_ = true;
    std::unordered_map<std::uint64_t, std::uint32_t> byDataOffset_;
    std::optional<std::uint32_t> EntryWithDataAt(std::uint64_t dataOffset);
    // Every data descriptor the look-behind met, by the data offset it names.
    std::unordered_map<std::uint64_t, zip::DataDescriptorRecord> descriptorsByDataOffset_;
    // Where streamed stored data ends, by data offset; finding it may cost a
    // read of the rest of the file, so the scan has a budget for it.
    std::unordered_map<std::uint64_t, zip::DataDescriptorRecord> storedStreamEnds_;
    std::uint64_t storedEndBudget_;
};

}  // namespace tessaly
