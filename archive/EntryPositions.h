// Where the entries of the table lie in the archive file: the next local
// header after a position, and how much room an entry's data has before the
// next record. Read by extraction (stored data whose end is unknown, data cut
// short before its encryption framing) and by the password vote.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "archive/CentralDir.h"
#include "archive/FileHeader.h"

namespace tessaly {

class CZipStorage;

class EntryPositions {
public:
    EntryPositions(CZipStorage& storage, const EntryTable& entries) : storage_(storage), entries_(entries) {}

    // Forgets what it learnt of the table (another archive is opened).
    void Reset() { headerOffsets_.clear(); }

    // The first local header the scan found at or after `offset`, or the
    // end of the file.
    std::uint64_t NextHeaderFrom(std::uint64_t offset);

    // How many bytes from `dataOffset` the entry's data can take up: up to
    // the next local header the scan found (or the end of the file), or less
    // where the entry's records say it ends sooner.
    std::uint64_t DataRoom(const CFileHeader& entry, std::uint64_t dataOffset);

private:
    std::optional<std::uint64_t> DescribedLength(std::uint64_t dataOffset, std::uint64_t end);

    CZipStorage& storage_;
    const EntryTable& entries_;
    std::vector<std::uint64_t> headerOffsets_;  // sorted; made when first needed
};

}  // namespace tessaly
