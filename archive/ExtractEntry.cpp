// Extracting one entry into the destination folder, and the verdict on what
// was written.
#include <algorithm>
#include <sstream>

#include "archive/BackgroundWriter.h"
#include "archive/EntryDecoder.h"
#include "archive/EntryName.h"
#include "archive/ScanState.h"
#include "archive/SkipRules.h"
#include "archive/ZipArchive.h"
#include "platform/FileException.h"
#include "platform/FileSystem.h"

namespace tessaly {

const char* OutcomeName(ExtractOutcome outcome) {
    switch (outcome) {
        case ExtractOutcome::Ok: return "ok";
        case ExtractOutcome::Damaged: return "damaged";
        case ExtractOutcome::Truncated: return "truncated";
        case ExtractOutcome::Skipped: return "skipped";
        case ExtractOutcome::Encrypted: return "encrypted";
        case ExtractOutcome::Failed: return "failed";
    }
    return "failed";
}

namespace {
// Entries from this size on are written on a second thread.
constexpr std::uint64_t kBackgroundWriteThreshold = std::uint64_t{4} << 20;
constexpr std::size_t kBackgroundBlockSize = std::size_t{1} << 20;

std::string Hex(std::uint32_t value) {
    std::ostringstream text;
    text << std::hex << value;
    return text.str();
}
}  // namespace

bool CZipArchive::ExtractEntry(std::uint32_t index, const std::filesystem::path& destinationFolder,
                               std::size_t bufferSize, ExtractReport* report) {
    ExtractReport scratch;
    ExtractReport& result = report != nullptr ? *report : scratch;
    result = ExtractReport{};
    CFileHeader entry;
    if (bufferSize == 0 || !GetEntryInfo(entry, index)) {
        result.detail = bufferSize == 0 ? "no buffer" : "no such entry";
        return false;
    }
    const std::filesystem::path relative = SafeRelativePath(entry.fileName);
    if (auto skip = ExtractSkipVerdict(entry)) {
        result.outcome = skip->outcome;
        result.detail = skip->reason;
        return true;
    }
    if (!OpenEntry(index)) {
        result.detail = "cannot open the entry";
        return false;
    }

    const std::filesystem::path outputPath = destinationFolder / relative;
    CFile output;
    if (!CreateFolderTree(outputPath.parent_path()) || !output.Open(outputPath, CFile::Mode::CreateWrite)) {
        AbandonEntry();
        result.detail = "cannot create " + PathToUtf8(outputPath);
        return false;
    }
    result.outputPath = outputPath;
    try {
        result.crc32 = IsLarge(entry) ? WriteEntryDataInBackground(output, bufferSize, result)
                                      : WriteEntryData(output, bufferSize, result);
        output.Close();
    } catch (...) {
        AbandonEntry();
        throw;
    }

    switch (decoder_->status()) {
        case EntryDecoder::Status::DataError:
            // Corrupt data: keep what was decompressed, without the entry's time.
            dataError = 0;
            AbandonEntry();
            result.outcome = ExtractOutcome::Damaged;
            result.detail = "corrupt compressed data after " + std::to_string(result.bytesWritten) + " bytes";
            return true;
        case EntryDecoder::Status::Truncated:
            state_.shortRead = 0;
            result.outcome = ExtractOutcome::Truncated;
            result.detail = "archive ends inside the data";
            break;
        default: {
            const Verdict verdict = FinishedVerdict(entry, result.crc32);
            result.outcome = verdict.outcome;
            result.detail = verdict.detail;
            break;
        }
    }
    CloseEntry(outputPath);
    return true;
}

std::uint32_t CZipArchive::WriteEntryData(CFile& output, std::size_t bufferSize, ExtractReport& report) {
    outputBuffer_.resize(bufferSize);
    for (;;) {
        const std::size_t n = ReadEntryData(outputBuffer_.data(), bufferSize);
        if (n > 0) {
            output.Write(outputBuffer_.data(), n);
            report.bytesWritten += n;
        }
        if (state_.extractCheckpoint) state_.extractCheckpoint();
        if (n < bufferSize || decoder_->status() != EntryDecoder::Status::Reading) return decoder_->crc();
    }
}

// Large entries are decompressed on this thread while another one writes
// the previous block and keeps the CRC-32, so the two costs overlap.
std::uint32_t CZipArchive::WriteEntryDataInBackground(CFile& output, std::size_t bufferSize, ExtractReport& report) {
    BackgroundWriter writer(output, std::max(bufferSize, kBackgroundBlockSize));
    for (;;) {
        const std::size_t n = decoder_->Read(writer.Block(), writer.blockSize(), false);
        writer.Commit(n);
        if (state_.extractCheckpoint) state_.extractCheckpoint();
        if (n < writer.blockSize() || decoder_->status() != EntryDecoder::Status::Reading) break;
    }
    writer.Finish();
    if (decoder_->status() == EntryDecoder::Status::DataError) dataError = 1;
    if (decoder_->status() == EntryDecoder::Status::Truncated) state_.shortRead = 1;
    report.bytesWritten = writer.written();
    return writer.crc();
}

bool CZipArchive::IsLarge(const CFileHeader& entry) {
    return entry.uncompressedSize >= kBackgroundWriteThreshold || entry.compressedSize >= kBackgroundWriteThreshold ||
           entry.IsStreamedUnknownSize();
}

// A whole entry is good when its CRC-32 matches, and, where the sizes were
// declared, the data is as long as they say.
CZipArchive::Verdict CZipArchive::FinishedVerdict(const CFileHeader& entry, std::uint32_t crc) {
    std::optional<zip::DataDescriptorRecord> descriptor;
    if (entry.method == zip::kMethodDeflated && entry.HasDescriptorFlag())
        descriptor = decoder_->ReadTrailingDescriptor(opened_.zip64);

    const bool sizesKnown = !entry.IsStreamedUnknownSize();
    if (sizesKnown && entry.method == zip::kMethodDeflated && entry.compressedSize != decoder_->consumed())
        return {ExtractOutcome::Damaged, "compressed size " + std::to_string(entry.compressedSize) +
                                             " declared, stream holds " + std::to_string(decoder_->consumed())};
    if (sizesKnown && entry.uncompressedSize != decoder_->produced())
        return {ExtractOutcome::Damaged, "size " + std::to_string(entry.uncompressedSize) + " declared, data holds " +
                                             std::to_string(decoder_->produced())};
    if (!sizesKnown && !descriptor) return {ExtractOutcome::Damaged, "no data descriptor: CRC-32 cannot be checked"};

    const std::uint32_t expected = (!sizesKnown && descriptor) ? descriptor->crc32 : entry.crc32;
    if (crc != expected)
        return {ExtractOutcome::Damaged, "CRC-32 mismatch (expected " + Hex(expected) + ", got " + Hex(crc) + ")"};
    return {ExtractOutcome::Ok, {}};
}

}  // namespace tessaly
