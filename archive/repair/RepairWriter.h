// Writes each entry the salvage hands on into the new archive, as the
// salvage's verdict allows, and hands it on to the repair's observer:
//   - whole entries copied verbatim from the archive, under fresh records;
//   - encrypted entries nobody could open copied unchecked where their
//     records place their data exactly, or left out;
//   - partial entries compressed afresh from the scratch file the salvage
//     wrote them to, with a comment, or left out when asked;
//   - anything else left out with the salvage's reason.
// A fault writing the new archive stops the salvage; Fault() then says what
// it was, and the new archive is not to be finished.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "archive/ExtractReport.h"
#include "archive/FileHeader.h"
#include "archive/repair/ArchiveRepair.h"
#include "archive/salvage/SalvageDriver.h"

namespace tessaly {

class ArchiveWriter;
class CFile;
class CZipArchive;

class RepairWriter : public SalvageObserver {
public:
    // `scratch` is the file the salvage writes each entry's bytes to.
    RepairWriter(CZipArchive& archive, ArchiveWriter& writer, std::filesystem::path scratch,
                 const RepairOptions& options, RepairObserver& observer);

    bool StopBefore(std::uint32_t index) override { return observer_.StopBefore(index); }
    void BetweenBlocks(std::uint32_t index) override { observer_.BetweenBlocks(index); }
    void EntryDone(const SalvagedEntry& salvaged) override;

    const std::optional<std::string>& Fault() const { return fault_; }

private:
    void Write(RepairedEntry& entry);
    void LeaveOut(RepairedEntry& entry, const std::string& why);
    void WriteEmpty(RepairedEntry& entry, const CFileHeader& header);
    void CopyLocked(RepairedEntry& entry, const CFileHeader& header);
    void CopyStored(RepairedEntry& entry, const CFileHeader& header, StoredExtent extent, RepairAction action);
    bool CopyArchiveBytes(std::uint32_t index, StoredExtent extent);
    void WritePartial(RepairedEntry& entry, const CFileHeader& header);
    void Recompress(RepairedEntry& entry, const CFileHeader& header, RepairAction action, const std::string& comment);
    // The CRC-32 and compressed length of what it wrote.
    std::pair<std::uint32_t, std::uint64_t> Deflate(CFile& input, std::uint32_t index);

    CZipArchive& archive_;
    ArchiveWriter& writer_;
    std::filesystem::path scratch_;
    const RepairOptions& options_;
    RepairObserver& observer_;
    std::optional<std::string> fault_;
    std::vector<std::uint8_t> buffer_;
    std::vector<std::uint8_t> packed_;
};

}  // namespace tessaly
