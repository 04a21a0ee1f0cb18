// The salvage scan: finds entries by their record signatures, never by the
// archive's directory.
//
// Quick Repair takes every local header a forward scan meets, and uses the
// central records after the last entry only to correct names. Advance Repair
// also reads an entry at every local-header position a central record names,
// so entries the forward scan stepped over are found too.
//
// A header cut off by the end of the file ends that pass; the entries found
// before it are kept. Nothing here allocates from a size the archive declares.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "archive/CentralRecords.h"
#include "archive/FileHeader.h"
#include "archive/ScanWindow.h"
#include "archive/ZipRecords.h"

namespace tessaly {

class CZipStorage;
struct ScanState;

class SalvageScan {
public:
    SalvageScan(CZipStorage& storage, ScanState& state, std::vector<CFileHeader>& entries);

    void RunQuick();
    void RunAdvance();

    // Where the forward scan met a local header the end of the file cuts
    // short (the archive ends inside that record), if it did.
    std::optional<std::uint64_t> CutHeaderOffset() const { return cutHeaderAt_; }

private:
    enum class HeaderRead { Whole, NameTooLong, CutShort };
    // What the forward pass learned of each entry, for the name correction.
    struct Sighting {
        bool nameRead;
        std::uint32_t headerCompressedSize;
    };
    class Progress;

    template <typename OnHeader>
    void LocalPass(bool reportResumeOffset, OnHeader onHeader);
    void CentralPass(CentralRecords& records);

    HeaderRead ReadLocalHeader(std::uint64_t p, CFileHeader& entry);
    // Records a cut header; false, which ends the pass.
    bool NoteCutHeader(std::uint64_t p) {
        cutHeaderAt_ = p;
        return false;
    }
    void ApplyZip64Sizes(CFileHeader& entry, const std::uint8_t* extra, std::size_t extraLength);
    void LookBehind(std::uint64_t p, CFileHeader* current);
    void ApplyDescriptor(std::uint64_t descriptorOffset, std::uint32_t crc, std::uint64_t compressed,
                         std::uint64_t uncompressed);
    std::uint64_t NextAfterLocal(std::uint64_t p, CFileHeader& entry, HeaderRead read);
    std::optional<std::uint64_t> TrustedJump(std::uint64_t dataStart, std::uint64_t compressedSize);
    bool LandsOnRecord(std::uint64_t target);
    void ApplyStoredStreamEnd(CFileHeader& entry) const;
    void AddEntry(CFileHeader&& entry);

    void CorrectNamesInOrder(const std::vector<Sighting>& sightings, const CentralRecords& records);
    void RepairFromCentral(CentralRecords& records);
    static void RepairHeaderFields(CFileHeader& entry, const CentralNote& note);
    void RepairNameLength(CFileHeader& entry, const CentralNote& note);
    void ResolveStoredLength(CFileHeader& entry, const CentralNote* note,
                             const std::vector<std::uint64_t>& headerOffsets);

    CZipStorage& storage_;
    ScanState& state_;
    std::vector<CFileHeader>& entries_;
    ScanWindow window_;
    std::vector<std::uint8_t> extraScratch_;
    std::uint64_t resumeOffset_ = 0;
    std::optional<std::uint64_t> cutHeaderAt_;
    // Entry index by the offset its data starts at, for the descriptor look-behind.
    std::unordered_map<std::uint64_t, std::uint32_t> byDataOffset_;
    // Every data descriptor the look-behind met, by the data offset it names.
    std::unordered_map<std::uint64_t, zip::DataDescriptorRecord> descriptorsByDataOffset_;
    // Where streamed stored data ends, by data offset; finding it may cost a
    // read of the rest of the file, so the scan has a budget for it.
    std::unordered_map<std::uint64_t, zip::DataDescriptorRecord> storedStreamEnds_;
    std::uint64_t storedEndBudget_;
};

}  // namespace tessaly
