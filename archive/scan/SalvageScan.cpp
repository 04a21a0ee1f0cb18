#include "archive/scan/SalvageScan.h"

#include <algorithm>
#include <iterator>

#include "archive/BufferSizes.h"
#include "archive/CompressionMethods.h"
#include "archive/EntryName.h"
#include "archive/ScanState.h"
#include "archive/ZipRecords.h"
#include "archive/ZipStorage.h"
#include "archive/crypto/EntryDecryption.h"
#include "archive/scan/StoredStreamEnd.h"

namespace tessaly {

namespace {
// How far the scan looks ahead for a signature before it reports progress.
constexpr std::uint64_t kSearchStride = 64 * 1024;
// Progress is reported at most once per this many positions (never more
// often than once per 100, as the progress hooks expect).
constexpr std::uint64_t kReportSpacing = 64 * 1024;
constexpr std::uint64_t kPositionsPerStep = 100;
// Names longer than this are read only while the header budget lasts.
constexpr std::size_t kPlainNameLength = 1024;

// A method extraction can read, or the AES method, which carries the real
// method in an extra field the scan does not keep; opening the entry reads it.
bool IsKnownMethod(std::uint16_t method) { return IsReadableMethod(method) || method == kMethodAes; }

bool IsRecordSignature(std::uint32_t value) {
    return value == zip::kLocalHeaderSignature || value == zip::kCentralHeaderSignature ||
           value == zip::kDescriptorSignature || value == zip::kEndRecordSignature;
}
}  // namespace

// Calls the progress hooks as the scan position advances.
class SalvageScan::Progress {
public:
    Progress(const ScanState& state, std::uint64_t total) : state_(state), total_(total) {}

    void Reach(std::uint64_t position, std::uint64_t value) {
        if (position < next_) return;
        const std::uint64_t steps = std::max<std::uint64_t>(1, (position - last_) / kPositionsPerStep);
        state_.Report(value, total_, steps);
        last_ = position;
        next_ = position + kReportSpacing;
    }

private:
    const ScanState& state_;
    std::uint64_t total_;
    std::uint64_t last_ = 0;
    std::uint64_t next_ = 0;
};

SalvageScan::SalvageScan(CZipStorage& storage, const ScanState& state, EntryTable& entries)
    : storage_(storage),
      state_(state),
      entries_(entries),
      window_(storage.file, storage.Length(), CurrentBufferSizes().scanWindow),
      nameScratch_(zip::kMaxFieldLength),
      extraScratch_(zip::kMaxFieldLength),
      headerBytesBudget_(4 * storage.Length() + (std::uint64_t{64} << 20)),
      storedEndBudget_(4 * storage.Length() + (std::uint64_t{64} << 20)) {}

// ---------------------------------------------------------------------------
// Passes

template <typename OnHeader>
void SalvageScan::LocalPass(bool reportResumeOffset, OnHeader onHeader) {
    const std::uint64_t length = window_.Length();
    Progress progress(state_, length);
    std::uint64_t p = 0;
    resumeOffset_ = 0;
    while (p + 4 <= length) {
        progress.Reach(p, reportResumeOffset ? resumeOffset_ : p);
        const std::uint64_t stop = std::min(length, p + kSearchStride);
        const std::uint64_t hit = window_.Find(zip::kLocalHeaderSignature, p, stop);
        if (hit >= stop) {
            p = stop;
            continue;
        }
        std::uint64_t next = 0;
        if (!onHeader(hit, next)) return;  // a header cut off by the end of the file
        p = next;
        resumeOffset_ = p;
    }
}

// A descriptor in front of the first central record belongs to the last
// local entry, not to the record: the look-behind gives it to that entry.
void SalvageScan::CentralPass(CentralRecords& records) {
    const std::uint64_t length = window_.Length();
    std::uint64_t p = resumeOffset_;
    while (p + 50 <= length) {
        const std::uint64_t stop = std::min(length - 49, p + kSearchStride);
        const std::uint64_t hit = window_.Find(zip::kCentralHeaderSignature, p, stop);
        if (hit >= stop) {
            p = stop;
            continue;
        }
        LookBehind(hit, nullptr);
        if (!records.Read(hit, p)) return;
    }
}

void SalvageScan::RunQuick() {
    // Pass A: every local header the forward scan meets becomes an entry.
    // Headers that cannot yield data wait, as bare offsets, for a central
    // record that may repair them.
    std::vector<std::uint64_t> doubtful;
    LocalPass(true, [&](std::uint64_t p, std::uint64_t& next) {
        CFileHeader entry;
        const HeaderRead read = ReadLocalHeader(p, entry);
        if (read == HeaderRead::CutShort) return PassOverCutHeader(p, next);
        LookBehind(p, read == HeaderRead::Whole ? &entry : nullptr);
        next = NextAfterLocal(p, entry);
        NoteExtent(p, next);
        if (read == HeaderRead::Whole)
            AddEntry(std::move(entry));
        else
            doubtful.push_back(p);
        return true;
    });

    // Pass B: note what the central records after the last entry say.
    CentralRecords records(window_);
    CentralPass(records);
    std::vector<std::uint64_t> found;
    found.reserve(entries_.size());
    for (const CFileHeader& entry : entries_) found.push_back(entry.localHeaderOffset);
    records.PlaceDirectories(Merged(found, doubtful), extents_);
    std::vector<std::uint64_t>().swap(found);

    // A second forward pass would meet exactly the same headers, so the
    // central records are applied to the entries the first one found.
    AddRepairable(doubtful, records);
    for (CFileHeader& entry : entries_) {
        if (const CentralNote* note = records.NoteFor(entry.localHeaderOffset)) records.CorrectName(entry, *note);
    }
    RepairFromCentral(records);
}

// The doubtful headers a central record names join the table, in file
// order; the others are dropped.
void SalvageScan::AddRepairable(const std::vector<std::uint64_t>& doubtful, CentralRecords& records) {
    if (doubtful.empty() || records.Empty()) return;
    std::vector<CFileHeader> repairable;
    for (std::uint64_t offset : doubtful) {
        if (records.NoteFor(offset) == nullptr) continue;
        CFileHeader entry;
        if (ReadLocalHeader(offset, entry, true) != HeaderRead::Whole) continue;
        LookBehind(offset, &entry);
        ApplyStoredStreamEnd(entry);
        auto descriptor = descriptorsByDataOffset_.find(entry.DataOffset());
        if (descriptor != descriptorsByDataOffset_.end()) {
            entry.crc32 = descriptor->second.crc32;
            entry.compressedSize = descriptor->second.compressedSize;
            entry.uncompressedSize = descriptor->second.uncompressedSize;
            entry.sizesFound = true;
        }
        repairable.push_back(std::move(entry));
    }
    if (repairable.empty()) return;
    EntryTable merged;
    std::merge(std::make_move_iterator(entries_.begin()), std::make_move_iterator(entries_.end()),
               std::make_move_iterator(repairable.begin()), std::make_move_iterator(repairable.end()),
               std::back_inserter(merged),
               [](const CFileHeader& a, const CFileHeader& b) { return a.localHeaderOffset < b.localHeaderOffset; });
    entries_.swap(merged);
    // Indices moved; no more look-behind follows.
    dataOffsetsSorted_ = false;
    byDataOffset_.clear();
}

void SalvageScan::RunAdvance() {
    // Pass A: the local-header positions a forward scan finds.
    // Headers that cannot yield data are kept apart, as in Quick Repair.
    std::vector<std::uint64_t> offsets;
    std::vector<std::uint64_t> doubtful;
    LocalPass(false, [&](std::uint64_t p, std::uint64_t& next) {
        CFileHeader entry;
        const HeaderRead read = ReadLocalHeader(p, entry);
        if (read == HeaderRead::CutShort) return PassOverCutHeader(p, next);
        LookBehind(p, nullptr);
        (read == HeaderRead::Whole ? offsets : doubtful).push_back(p);
        next = NextAfterLocal(p, entry);
        NoteExtent(p, next);
        return true;
    });

    // Pass B: the positions (and names) every central record after them gives.
    CentralRecords records(window_);
    CentralPass(records);
    records.PlaceDirectories(Merged(offsets, doubtful), extents_);
    // The doubtful headers a central record names keep their place in file order.
    doubtful.erase(std::remove_if(doubtful.begin(), doubtful.end(),
                                  [&](std::uint64_t offset) { return records.NoteFor(offset) == nullptr; }),
                   doubtful.end());
    std::vector<std::uint64_t> forward = Merged(offsets, doubtful);
    offsets.swap(forward);
    std::vector<std::uint64_t>().swap(doubtful);
    std::vector<std::uint64_t>().swap(forward);
    records.MergeOffsetsInto(offsets);

    // One entry at each position a central record names, whatever lies
    // there, and at each header the forward scan found that can yield data.
    // A position the end of the file cuts short yields nothing; the others
    // are still read. Where a record's local header is lost, the record is
    // all there is of the entry.
    for (std::uint64_t offset : offsets) {
        CFileHeader entry;
        const CentralNote* note = records.NoteFor(offset);
        const HeaderRead read = ReadLocalHeader(offset, entry, note != nullptr);
        if (note != nullptr && !records.HeaderAt(offset, *note))
            records.TakeRecord(entry, *note);
        else if (read != HeaderRead::Whole)
            continue;
        else if (note != nullptr)
            records.CorrectName(entry, *note);
        LookBehind(offset, &entry);
        ApplyStoredStreamEnd(entry);
        AddEntry(std::move(entry));
    }
    RepairFromCentral(records);
}

// What the central records say about an entry whose local header they name
// repairs what damage did to that header: an unknown method, an encryption
// flag the directory does not share, a stored entry's size, and a name
// damage changed.
void SalvageScan::RepairFromCentral(CentralRecords& records) {
    std::vector<std::uint64_t> headerOffsets;  // sorted; made when first needed

    for (CFileHeader& entry : entries_) {
        if (entry.localHeaderLost) continue;
        const CentralNote* note = records.NoteFor(entry.localHeaderOffset);
        if (note != nullptr) {
            RepairHeaderFields(entry, *note);
            RepairNameLength(entry, *note, records);
            TakeStreamedSizes(entry, *note);
        }
        ResolveStoredLength(entry, note, headerOffsets);
        if (note != nullptr) records.PreferRecordedName(entry, *note);
    }
}

// A flipped bit can give a local header a method nobody knows or mark the
// entry encrypted; the central record's word is taken where it is plausible.
void SalvageScan::RepairHeaderFields(CFileHeader& entry, const CentralNote& note) {
    if (!IsKnownMethod(entry.method) && IsKnownMethod(note.method)) entry.method = note.method;
    entry.centralAesStrength = note.aesStrength;
    entry.centralAesMethod = note.aesMethod;
    if ((entry.flags & zip::kFlagEncrypted) != 0 && (note.flags & zip::kFlagEncrypted) == 0)
        entry.flags &= static_cast<std::uint16_t>(~zip::kFlagEncrypted);
}

// A streamed compressed entry whose descriptor could not be read takes its
// CRC-32 and sizes from the central record, so that extraction can check
// them. (Stored data needs its length checked first: ResolveStoredLength.)
// A compressed stream is never 0 bytes long (it holds at least its end), so
// a record giving compressed size 0 was written before the sizes were known:
// the entry keeps its sizes unknown and is read to the stream's own end,
// checked against the record's CRC-32 only if one was written there.
void SalvageScan::TakeStreamedSizes(CFileHeader& entry, const CentralNote& note) {
    if (entry.method == zip::kMethodStored || !IsKnownMethod(entry.method) || !entry.IsStreamedUnknownSize()) return;
    if (note.compressedSize == zip::kZip64Sentinel || note.uncompressedSize == zip::kZip64Sentinel) return;
    if (note.compressedSize == 0) {
        if (note.crc32 != 0) entry.crc32 = note.crc32;
        return;
    }
    entry.crc32 = note.crc32;
    entry.compressedSize = note.compressedSize;
    entry.uncompressedSize = note.uncompressedSize;
    entry.sizesFound = true;
}

// A wrong name length in a local header misplaces the entry's data. When the
// central record naming the header gives another length and the header's
// bytes at that length spell exactly the record's name, the record's length
// is the right one.
void SalvageScan::RepairNameLength(CFileHeader& entry, const CentralNote& note, CentralRecords& records) {
    if (note.nameLength == entry.fileNameLength || note.nameLength == 0) return;
    std::uint8_t* name = nameScratch_.data();
    const std::uint64_t nameOffset = entry.localHeaderOffset + zip::kLocalHeaderLength;
    if (window_.Read(nameOffset, name, note.nameLength) < note.nameLength) return;
    std::string recorded = records.NameOf(note);
    if (DecodeEntryName(name, note.nameLength, (entry.flags & zip::kFlagUtf8Name) != 0) != recorded) return;
    entry.fileName = std::move(recorded);
    entry.fileNameLength = note.nameLength;
}

// Stored data has no end marker: when an entry's declared size does not end
// at a record, other lengths are tried (its uncompressed size, the size its
// central record gives, the distance to the next header) and the one whose
// CRC-32 matches is taken.
//
// Streamed stored data whose descriptor was not found tries the central
// record's size and a descriptor without signature in front of the next
// header; a length is only taken when the CRC-32 of its bytes agrees.
void SalvageScan::ResolveStoredLength(CFileHeader& entry, const CentralNote* note,
                                      std::vector<std::uint64_t>& headerOffsets) {
    if (entry.method != zip::kMethodStored) return;
    const bool streamed = entry.IsStreamedUnknownSize();
    const std::uint64_t dataStart = entry.DataOffset();
    if (!streamed && (entry.compressedSize == 0 || TrustedJump(dataStart, entry.compressedSize))) return;
    if (headerOffsets.empty()) {
        headerOffsets.reserve(entries_.size());
        for (const CFileHeader& other : entries_) headerOffsets.push_back(other.localHeaderOffset);
        std::sort(headerOffsets.begin(), headerOffsets.end());
    }
    std::vector<std::uint64_t> lengths;
    std::vector<std::uint32_t> crcs;
    if (!streamed) {
        lengths = {entry.compressedSize, entry.uncompressedSize};
        crcs.push_back(entry.crc32);
    }
    if (note != nullptr) {
        lengths.push_back(note->compressedSize);
        crcs.push_back(note->crc32);
    }
    auto next = std::upper_bound(headerOffsets.begin(), headerOffsets.end(), entry.localHeaderOffset);
    if (next != headerOffsets.end() && *next > dataStart) {
        if (!streamed) lengths.push_back(*next - dataStart);
        std::uint8_t fields[12];
        if (streamed && *next - dataStart >= sizeof fields &&
            window_.Read(*next - sizeof fields, fields, sizeof fields) == sizeof fields) {
            const zip::DataDescriptorRecord unsigned32 = zip::DecodeDescriptorFields(fields, false);
            if (unsigned32.compressedSize == *next - sizeof fields - dataStart) {
                lengths.push_back(unsigned32.compressedSize);
                crcs.push_back(unsigned32.crc32);
            }
        }
    }
    if (lengths.empty()) return;
    if (auto found = FindStoredLengthByCrc(window_, dataStart, lengths, crcs, storedEndBudget_)) {
        entry.compressedSize = entry.uncompressedSize = found->length;
        entry.crc32 = found->crc32;
        entry.sizesFound = true;
    }
}

std::vector<std::uint64_t> SalvageScan::Merged(const std::vector<std::uint64_t>& a,
                                               const std::vector<std::uint64_t>& b) {
    std::vector<std::uint64_t> merged;
    merged.reserve(a.size() + b.size());
    std::merge(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(merged));
    return merged;
}

// ---------------------------------------------------------------------------
// Local headers

// A local-header signature the end of the file cuts short is where the
// archive ends only when no whole record follows it. Before one, it is bytes
// inside some entry's data (archives, executables and images carry them
// often), and the scan goes on after its signature.
bool SalvageScan::PassOverCutHeader(std::uint64_t p, std::uint64_t& next) {
    if (!RecordFollows(p)) {
        cutHeaderAt_ = p;
        return false;
    }
    next = p + 4;
    return true;
}

// Only a header in the file's last 64 KiB can be cut short (a name is at
// most that long), so that stretch is searched once, for its last record
// the end of the file leaves whole: a header, a central record, the end
// record, or the data descriptor of a streamed entry that is the last.
bool SalvageScan::RecordFollows(std::uint64_t p) {
    if (!lastWholeRecord_) {
        const std::uint64_t length = window_.Length();
        const std::uint64_t tail = zip::kLocalHeaderLength + zip::kMaxFieldLength;
        const std::uint64_t from = length > tail ? length - tail : 0;
        std::uint64_t last = UINT64_MAX;
        struct RecordKind {
            std::uint32_t signature;
            std::uint64_t fixedLength;
            std::uint64_t nameLengthAt;  // 0: no name
        };
        const RecordKind kinds[] = {{zip::kLocalHeaderSignature, zip::kLocalHeaderLength, 26},
                                    {zip::kCentralHeaderSignature, zip::kCentralHeaderLength, 28},
                                    {zip::kEndRecordSignature, 22, 0},
                                    {zip::kDescriptorSignature, zip::kDescriptorLength, 0}};
        for (const RecordKind& kind : kinds) {
            for (std::uint64_t q = window_.Find(kind.signature, from, length); q < length;
                 q = window_.Find(kind.signature, q + 1, length)) {
                std::uint8_t field[2] = {0, 0};
                if (kind.nameLengthAt != 0 && window_.Read(q + kind.nameLengthAt, field, 2) < 2) continue;
                const std::uint64_t nameLength = field[0] | (std::uint64_t{field[1]} << 8);
                if (q + kind.fixedLength + nameLength <= length && (last == UINT64_MAX || q > last)) last = q;
            }
        }
        lastWholeRecord_ = last;
    }
    return *lastWholeRecord_ != UINT64_MAX && *lastWholeRecord_ > p;
}

// A jump over an entry's data that the scan trusted.
void SalvageScan::NoteExtent(std::uint64_t p, std::uint64_t next) {
    if (next > p + zip::kLocalHeaderLength) extents_.push_back({p, next});
}

SalvageScan::HeaderRead SalvageScan::ReadLocalHeader(std::uint64_t p, CFileHeader& entry, bool evenIfHopeless) {
    std::uint8_t bytes[zip::kLocalHeaderLength];
    if (window_.Read(p, bytes, sizeof bytes) < sizeof bytes) return HeaderRead::CutShort;
    const zip::LocalHeaderRecord record = zip::DecodeLocalHeader(bytes);
    std::copy(bytes, bytes + 4, entry.signature);
    entry.TakeSharedFields(record);
    entry.localHeaderOffset = p;
    headerZip64_ = false;
    const std::uint64_t nameOffset = p + zip::kLocalHeaderLength;
    if (nameOffset + record.nameLength > window_.Length()) return HeaderRead::CutShort;
    const std::uint64_t dataStart = nameOffset + record.nameLength + zip::TolerantExtraLength(record.extraLength);
    if (!evenIfHopeless && (!IsKnownMethod(record.method) || dataStart > window_.Length())) return HeaderRead::Hopeless;
    if (!evenIfHopeless && record.nameLength > kPlainNameLength && !Affordable(record.nameLength))
        return HeaderRead::Hopeless;

    std::uint8_t* name = nameScratch_.data();
    window_.Read(nameOffset, name, record.nameLength);
    entry.fileName = DecodeEntryName(name, record.nameLength, (record.flags & zip::kFlagUtf8Name) != 0);
    if (!evenIfHopeless && !IsUsableName(entry.fileName)) return HeaderRead::Hopeless;
    ReadSizesFromExtra(entry, nameOffset + record.nameLength);
    return HeaderRead::Whole;
}

bool SalvageScan::Affordable(std::size_t bytes) {
    if (bytes > headerBytesBudget_) return false;
    headerBytesBudget_ -= bytes;
    return true;
}

// The extra field matters to the scan only for ZIP64 sizes: where the sizes
// hold the sentinel, and for stored data whose descriptor may have 64-bit
// sizes. The table keeps none of it; opening an entry reads it again.
void SalvageScan::ReadSizesFromExtra(CFileHeader& entry, std::uint64_t extraOffset) {
    const auto c32 = static_cast<std::uint32_t>(entry.compressedSize);
    const auto u32 = static_cast<std::uint32_t>(entry.uncompressedSize);
    const bool sentinel = c32 == zip::kZip64Sentinel || u32 == zip::kZip64Sentinel;
    const bool storedStream = entry.method == zip::kMethodStored && entry.IsStreamedUnknownSize();
    if ((!sentinel && !storedStream) || entry.extraFieldLength == 0 ||
        (entry.extraFieldLength > kPlainNameLength && !Affordable(entry.extraFieldLength)))
        return;
    const std::size_t got = window_.Read(extraOffset, extraScratch_.data(), entry.extraFieldLength);
    headerZip64_ = zip::HasZip64Extra(extraScratch_.data(), got);
    zip::Zip64Sizes sizes{};
    if (sentinel && zip::ReadZip64Sizes(extraScratch_.data(), got, u32, c32, sizes)) {
        entry.compressedSize = sizes.compressedSize;
        entry.uncompressedSize = sizes.uncompressedSize;
    }
}

// The 16 bytes in front of a header may be the data descriptor of the entry
// whose data ends there. It gives that entry its CRC-32 and sizes; the header
// being read keeps its own.
void SalvageScan::LookBehind(std::uint64_t p, CFileHeader* current) {
    if (p < zip::kDescriptorLength) return;
    std::uint8_t bytes[zip::kZip64DescriptorLength];
    const std::uint64_t at16 = p - zip::kDescriptorLength;
    if (window_.Read(at16, bytes, zip::kDescriptorLength) < zip::kDescriptorLength) return;
    if (current != nullptr) std::copy(bytes, bytes + 4, current->signature);
    if (zip::LoadU32(bytes) == zip::kDescriptorSignature) {
        const auto d = zip::DecodeDescriptorFields(bytes + 4, false);
        ApplyDescriptor(at16, d.crc32, d.compressedSize, d.uncompressedSize);
        return;
    }
    // A descriptor with 64-bit sizes, as streaming writers leave after ZIP64 entries.
    if (p < zip::kZip64DescriptorLength) return;
    const std::uint64_t at24 = p - zip::kZip64DescriptorLength;
    if (window_.Read(at24, bytes, zip::kZip64DescriptorLength) < zip::kZip64DescriptorLength) return;
    if (zip::LoadU32(bytes) == zip::kDescriptorSignature) {
        const auto d = zip::DecodeDescriptorFields(bytes + 4, true);
        ApplyDescriptor(at24, d.crc32, d.compressedSize, d.uncompressedSize);
    }
}

void SalvageScan::ApplyDescriptor(std::uint64_t descriptorOffset, std::uint32_t crc, std::uint64_t compressed,
                                  std::uint64_t uncompressed) {
    if (compressed > descriptorOffset) return;
    const std::uint64_t dataOffset = descriptorOffset - compressed;
    // Entries read later (Advance Repair) look here for a descriptor that
    // was met before them.
    descriptorsByDataOffset_[dataOffset] = {crc, compressed, uncompressed};
    const std::optional<std::uint32_t> index = EntryWithDataAt(dataOffset);
    if (!index) return;
    CFileHeader& owner = entries_[*index];
    owner.crc32 = crc;
    owner.compressedSize = compressed;
    owner.uncompressedSize = uncompressed;
    owner.sizesFound = true;
}

// Where the scan goes on after a local header. A jump over the entry's data
// is trusted only when it lands on a record (or a descriptor and a record
// after it) or exactly at the end of the file; otherwise the entry's data is
// scanned byte by byte, so one wrong size cannot hide its neighbours.
std::uint64_t SalvageScan::NextAfterLocal(std::uint64_t p, CFileHeader& entry) {
    const std::uint64_t nameEnd = std::min(window_.Length(), p + zip::kLocalHeaderLength + entry.fileNameLength);
    // The extra length as written, and as read when an entry is opened (a
    // blank in its high byte is a known writer fault).
    for (std::uint16_t extraLength : {entry.extraFieldLength, zip::TolerantExtraLength(entry.extraFieldLength)}) {
        if (auto target = TrustedJump(nameEnd + extraLength, entry.compressedSize)) return *target;
    }
    // Stored data a streaming writer left without sizes ends at its descriptor;
    // jumping to it keeps a stored archive inside from showing its entries.
    if (entry.method == zip::kMethodStored && entry.IsStreamedUnknownSize()) {
        if (auto end = FindStoredStreamEnd(window_, entry.DataOffset(), headerZip64_, storedEndBudget_)) {
            storedStreamEnds_[entry.DataOffset()] = *end;
            ApplyStoredStreamEnd(entry);
            return entry.DataOffset() + end->compressedSize;
        }
    }
    // Without a trusted jump the entry's name length may be wrong too: walk
    // from the end of the fixed header so that no header after it is missed.
    return p + zip::kLocalHeaderLength;
}

std::optional<std::uint64_t> SalvageScan::TrustedJump(std::uint64_t dataStart, std::uint64_t compressedSize) {
    const std::uint64_t length = window_.Length();
    if (compressedSize == 0 || dataStart > length || compressedSize > length - dataStart) return std::nullopt;
    const std::uint64_t target = dataStart + compressedSize;
    if (target == length || LandsOnRecord(target)) return target;
    return std::nullopt;
}

// The sizes and CRC-32 found for streamed stored data at the entry's data offset.
void SalvageScan::ApplyStoredStreamEnd(CFileHeader& entry) const {
    if (entry.method != zip::kMethodStored || !entry.IsStreamedUnknownSize()) return;
    auto it = storedStreamEnds_.find(entry.DataOffset());
    if (it == storedStreamEnds_.end()) return;
    entry.crc32 = it->second.crc32;
    entry.compressedSize = it->second.compressedSize;
    entry.uncompressedSize = it->second.uncompressedSize;
    entry.sizesFound = true;
}

bool SalvageScan::LandsOnRecord(std::uint64_t target) {
    std::uint32_t value = 0;
    if (!window_.ReadU32(target, value)) return false;
    if (IsRecordSignature(value)) return true;
    // A data descriptor without its signature, 32- or 64-bit sizes, followed by a record.
    for (std::uint64_t descriptorLength : {12u, 20u}) {
        if (window_.ReadU32(target + descriptorLength, value) && IsRecordSignature(value)) return true;
    }
    return false;
}

std::optional<std::uint32_t> SalvageScan::EntryWithDataAt(std::uint64_t dataOffset) {
    if (dataOffsetsSorted_) {
        auto it =
            std::lower_bound(entries_.begin(), entries_.end(), dataOffset,
                             [](const CFileHeader& entry, std::uint64_t value) { return entry.DataOffset() < value; });
        if (it == entries_.end() || it->DataOffset() != dataOffset) return std::nullopt;
        return static_cast<std::uint32_t>(it - entries_.begin());
    }
    if (byDataOffset_.empty()) {
        for (std::uint32_t i = 0; i < entries_.size(); ++i) byDataOffset_[entries_[i].DataOffset()] = i;
    }
    auto it = byDataOffset_.find(dataOffset);
    if (it == byDataOffset_.end()) return std::nullopt;
    return it->second;
}

void SalvageScan::AddEntry(CFileHeader&& entry) {
    auto descriptor = descriptorsByDataOffset_.find(entry.DataOffset());
    if (descriptor != descriptorsByDataOffset_.end()) {
        entry.crc32 = descriptor->second.crc32;
        entry.compressedSize = descriptor->second.compressedSize;
        entry.uncompressedSize = descriptor->second.uncompressedSize;
        entry.sizesFound = true;
    }
    const auto index = static_cast<std::uint32_t>(entries_.size());
    if (!entries_.empty() && entry.DataOffset() <= entries_.back().DataOffset()) dataOffsetsSorted_ = false;
    if (!byDataOffset_.empty()) byDataOffset_[entry.DataOffset()] = index;
    entries_.push_back(std::move(entry));
}

}  // namespace tessaly
