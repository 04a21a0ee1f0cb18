#include "archive/repair/RepairWriter.h"
#include "archive/Crc32.h"

#include <zlib.h>

#include <algorithm>

#include "archive/CompressionMethods.h"
#include "archive/SkipRules.h"
#include "archive/ZipArchive.h"
#include "archive/ZipRecords.h"
#include "archive/repair/ArchiveWriter.h"
#include "archive/repair/NewRecords.h"
#include "archive/salvage/FaultText.h"
#include "platform/FileException.h"
#include "platform/FileSystem.h"

namespace tessaly {
namespace {

constexpr std::size_t kCopyBlock = std::size_t{1} << 18;

// Raised when the new archive cannot be written: the repair as a whole
// fails, not the entry.
struct OutputFault {
    std::string text;
};

}  // namespace

RepairWriter::RepairWriter(CZipArchive& archive, ArchiveWriter& writer, std::filesystem::path scratch,
                           const RepairOptions& options, RepairObserver& observer)
    : archive_(archive), writer_(writer), scratch_(std::move(scratch)), options_(options), observer_(observer) {}

void RepairWriter::EntryDone(const SalvagedEntry& salvaged) {
    RepairedEntry entry;
    entry.salvaged = salvaged;
    entry.salvaged.report.outputPath.clear();
    entry.name = RepairedName(archive_.centralDir.Entry(salvaged.index));
    try {
        if (salvaged.interrupted)
            entry.note = "stopped";
        else
            Write(entry);
    } catch (const OutputFault& fault) {
        fault_ = fault.text;
        throw SalvageStopped{};
    } catch (const CFileException& fault) {
        fault_ = FaultText(fault);
        throw SalvageStopped{};
    } catch (const SalvageStopped&) {
        throw;
    } catch (const std::exception& fault) {
        fault_ = fault.what();
        throw SalvageStopped{};
    }
    observer_.EntryRepaired(entry);
}

void RepairWriter::Write(RepairedEntry& entry) {
    const CFileHeader& header = archive_.centralDir.Entry(entry.salvaged.index);
    const ExtractReport& report = entry.salvaged.report;
    if (entry.name.empty()) return LeaveOut(entry, report.detail.empty() ? "no usable name" : report.detail);
    switch (report.outcome) {
        case ExtractOutcome::Ok:
            if (IsFolderEntry(header) || !CarriesData(header)) return WriteEmpty(entry, header);
            if (report.storedData) return CopyStored(entry, header, *report.storedData, RepairAction::Copied);
            return Recompress(entry, header, RepairAction::Recompressed, {});
        case ExtractOutcome::Encrypted: return CopyLocked(entry, header);
        case ExtractOutcome::Damaged:
        case ExtractOutcome::Truncated:
        case ExtractOutcome::Limited: return WritePartial(entry, header);
        default: return LeaveOut(entry, report.detail);
    }
}

void RepairWriter::LeaveOut(RepairedEntry& entry, const std::string& why) {
    entry.action = RepairAction::LeftOut;
    entry.note = why;
}

void RepairWriter::WriteEmpty(RepairedEntry& entry, const CFileHeader& header) {
    NewEntry record = RecordFor(header, entry.name, zip::kMethodStored, false);
    record.flags &= ~zip::kFlagEncrypted;
    record.versionNeeded = VersionNeededFor(zip::kMethodStored, false);
    writer_.BeginEntry(record);
    writer_.EndEntry(0, 0);
    entry.action = RepairAction::Copied;
}

// An encrypted entry whose password was not given is copied as it is
// stored when its records place its data exactly. One the password given
// does not open is left out: a reader given that password would meet the
// same refusal in the new archive.
void RepairWriter::CopyLocked(RepairedEntry& entry, const CFileHeader& header) {
    const std::string why = entry.salvaged.report.detail;
    if (EncryptionSchemeOf(header) == EncryptionScheme::Strong || !CarriesData(header) || IsWrongPasswordDetail(why))
        return LeaveOut(entry, why);
    const std::optional<StoredExtent> extent = archive_.DeclaredExtent(entry.salvaged.index);
    if (!extent) return LeaveOut(entry, why + "; where its data ends is not certain, so it is not copied");
    CopyStored(entry, header, *extent, RepairAction::CopiedUnverified);
    if (entry.action != RepairAction::CopiedUnverified) return;
    entry.note = why + "; copied as stored, its data unchecked";
    entry.salvaged.report.storedData = extent;
}

// The entry's stored bytes, unchanged, under fresh records. Traditional
// encryption checks its password against the time when the entry had a
// data descriptor, so such an entry keeps one.
void RepairWriter::CopyStored(RepairedEntry& entry, const CFileHeader& header, StoredExtent extent,
                              RepairAction action) {
    const std::uint32_t index = entry.salvaged.index;
    const std::optional<CZipArchive::LocalRecord> local = archive_.ReadLocalRecord(index);
    if (!local) return LeaveOut(entry, "its local header can no longer be read");
    const bool verified = action == RepairAction::Copied;
    const bool traditional = header.IsEncrypted() && !local->aes;
    NewEntry record = RecordFor(header, entry.name, header.method, traditional && header.HasDescriptorFlag());
    record.extra = WellFormedExtra(local->extra, local->aes);
    record.compressedSize = extent.length;
    record.uncompressedSize = verified ? entry.salvaged.report.bytesWritten : header.uncompressedSize;
    // AE-2 leaves the CRC-32 out, for the authentication code stands in for it.
    const bool crcLeftOut = local->aes && local->aes->vendorVersion == 2;
    record.crc32 = crcLeftOut ? 0 : verified ? entry.salvaged.report.crc32 : header.crc32;

    writer_.BeginEntry(record);
    if (!CopyArchiveBytes(index, extent)) {
        writer_.AbandonEntry();
        return LeaveOut(entry, "the archive could not be read again while it was copied");
    }
    writer_.EndEntry(record.crc32, extent.length);
    entry.action = action;
    entry.size = record.uncompressedSize;
    entry.packedSize = extent.length;
}

// False when the archive cannot be read again where it was read before.
bool RepairWriter::CopyArchiveBytes(std::uint32_t index, StoredExtent extent) {
    buffer_.resize(kCopyBlock);
    for (std::uint64_t done = 0; done < extent.length;) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(kCopyBlock, extent.length - done));
        std::size_t got = 0;
        try {
            archive_.storage.Seek(extent.offset + done);
            got = archive_.storage.file.Read(buffer_.data(), want);
        } catch (const CFileException&) {
            return false;
        }
        if (got != want) return false;
        writer_.WriteData(buffer_.data(), got);
        done += got;
        observer_.BetweenBlocks(index);
    }
    return true;
}

void RepairWriter::WritePartial(RepairedEntry& entry, const CFileHeader& header) {
    const ExtractReport& report = entry.salvaged.report;
    if (options_.partial == PartialEntries::Omit)
        return LeaveOut(entry, std::string(OutcomeName(report.outcome)) + ", and partial entries are left out");
    if (report.bytesWritten == 0)
        return LeaveOut(entry, "nothing of its data could be salvaged (" + report.detail + ")");
    const std::string declared = header.IsStreamedUnknownSize() || header.uncompressedSize == 0
                                     ? std::string("an unknown number of")
                                     : std::to_string(header.uncompressedSize);
    Recompress(entry, header, RepairAction::Partial,
               "partial entry: " + std::to_string(report.bytesWritten) + " of " + declared + " bytes salvaged; " +
                   OutcomeName(report.outcome) + ": " + report.detail);
}

// The bytes the salvage wrote into the scratch file, compressed afresh
// with Deflate, unencrypted.
void RepairWriter::Recompress(RepairedEntry& entry, const CFileHeader& header, RepairAction action,
                              const std::string& comment) {
    CFile scratch;
    if (!scratch.Open(scratch_, CFile::Mode::Read)) throw OutputFault{"cannot read back " + PathToUtf8(scratch_)};
    const std::uint64_t size = scratch.GetLength();
    NewEntry record = RecordFor(header, entry.name, zip::kMethodDeflated, false);
    record.flags &= ~(zip::kFlagEncrypted | 0x0006);
    record.versionNeeded = VersionNeededFor(zip::kMethodDeflated, false);
    record.uncompressedSize = size;
    record.compressedSize = size + (size >> 10) + 1024;  // more than Deflate can ever take
    record.comment = comment;
    writer_.BeginEntry(record);
    const auto [crc, packed] = Deflate(scratch, entry.salvaged.index);
    writer_.EndEntry(crc, packed);
    entry.action = action;
    entry.note = comment;
    entry.size = size;
    entry.packedSize = packed;
}

std::pair<std::uint32_t, std::uint64_t> RepairWriter::Deflate(CFile& input, std::uint32_t index) {
    z_stream stream{};
    if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw OutputFault{"cannot start Deflate compression"};
    buffer_.resize(kCopyBlock);
    packed_.resize(kCopyBlock);
    std::uint32_t crc = 0;
    std::uint64_t written = 0;
    try {
        int flush = Z_NO_FLUSH;
        do {
            const std::size_t got = input.Read(buffer_.data(), buffer_.size());
            crc = UpdateCrc32(crc, buffer_.data(), got);
            flush = got < buffer_.size() ? Z_FINISH : Z_NO_FLUSH;
            stream.next_in = buffer_.data();
            stream.avail_in = static_cast<uInt>(got);
            do {
                stream.next_out = packed_.data();
                stream.avail_out = static_cast<uInt>(packed_.size());
                deflate(&stream, flush);
                const std::size_t out = packed_.size() - stream.avail_out;
                writer_.WriteData(packed_.data(), out);
                written += out;
            } while (stream.avail_out == 0);
            observer_.BetweenBlocks(index);
        } while (flush != Z_FINISH);
    } catch (...) {
        deflateEnd(&stream);
        throw;
    }
    deflateEnd(&stream);
    return {crc, written};
}

}  // namespace tessaly
