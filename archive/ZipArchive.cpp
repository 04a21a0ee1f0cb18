// The archive object: opening (the salvage scan), entry copies, the
// entry-reading sequence, and extracting one entry with the verdict on what
// was written.
#include "archive/ZipArchive.h"

#include <zlib.h>

#include <algorithm>
#include <optional>
#include <sstream>
#include <system_error>
#include <vector>

#include "archive/BackgroundWriter.h"
#include "archive/EntryDecoder.h"
#include "archive/EntryName.h"
#include "archive/ScanState.h"
#include "archive/SkipRules.h"
#include "platform/FileException.h"
#include "platform/FileSystem.h"
#include "platform/OutputTree.h"

namespace tessaly {

CZipArchive::CZipArchive(ScanState& state)
    : storage(state), centralDir(storage, state), state_(state), decoder_(std::make_unique<EntryDecoder>(storage)) {}

CZipArchive::~CZipArchive() = default;

void CZipArchive::OpenArchive(const std::filesystem::path& path, RepairMode repairMode, int mode, int volumeSize) {
    entryState = 0;
    overlaps_.Reset();
    headerOffsets_.clear();
    ownNames_.reset();
    if (!storage.Open(path, mode, volumeSize)) return;
    centralDir.Init();
    if (mode == 0 || mode == 1) centralDir.Read(repairMode);
}

bool CZipArchive::OpenCopyOf(const CZipArchive& scanned) {
    entryState = 0;
    overlaps_.Reset();
    headerOffsets_.clear();
    ownNames_.reset();
    if (!scanned.IsOpen() || !storage.Open(scanned.storage.Path(), 0, 1)) return false;
    centralDir.Init();
    centralDir.entries = scanned.centralDir.entries;
    state_.descriptorSeen = scanned.state_.descriptorSeen.load();
    state_.entriesFound = static_cast<int>(centralDir.entries.size());
    return true;
}

void CZipArchive::CloseArchive(bool afterError) {
    if (entryState != 0) AbandonEntry();
    overlaps_.Reset();
    headerOffsets_.clear();
    centralDir.Clear();
    storage.Close(afterError);
}

bool CZipArchive::GetEntryInfo(CFileHeader& header, std::uint32_t index) const {
    if (!centralDir.IsValidIndex(index)) return false;
    header = centralDir.Entry(index);
    if (convertSlashes) std::replace(header.fileName.begin(), header.fileName.end(), '/', '\\');
    return true;
}

bool CZipArchive::OpenEntry(std::uint32_t index) {
    if (!centralDir.IsValidIndex(index) || storage.IsSpanMode() == 1 || !storage.IsOpen()) return false;
    if (entryState != 0) AbandonEntry();
    try {
        opened_ = centralDir.OpenEntry(index);
        const CFileHeader& entry = centralDir.Entry(index);
        decoder_->Begin(entry.method, opened_.dataOffset, entry.compressedSize);
    } catch (...) {
        centralDir.CloseEntry();
        throw;
    }
    entryState = -1;
    return true;
}

std::size_t CZipArchive::ReadEntryData(void* buffer, std::size_t size) {
    if (entryState != -1 || buffer == nullptr || size == 0) return 0;
    const std::size_t n = decoder_->Read(static_cast<std::uint8_t*>(buffer), size);
    if (decoder_->status() == EntryDecoder::Status::DataError) dataError = 1;
    if (decoder_->status() == EntryDecoder::Status::Truncated) state_.shortRead = 1;
    return n;
}

bool CZipArchive::CloseEntry(const std::filesystem::path& outputPath) {
    if (entryState != -1) return false;
    bool result = true;
    if (!outputPath.empty()) {
        const std::time_t modified = centralDir.OpenedEntry()->GetModificationTime();
        result = modified != static_cast<std::time_t>(-1) && SetFileModificationTime(outputPath, modified);
    }
    AbandonEntry();
    return result;
}

void CZipArchive::AbandonEntry() {
    decoder_->End();
    centralDir.CloseEntry();
    entryState = 0;
}

namespace {
// A file written under another name than the entry's own says so, with the
// name it has on disk.
void NoteRenaming(const CFileHeader& entry, const std::filesystem::path& relative, ExtractReport& report) {
    if (relative == SafeRelativePath(entry.fileName)) return;
    const auto written = relative.generic_u8string();
    const std::string note = "written as " + std::string(written.begin(), written.end());
    report.detail = report.detail.empty() ? note : report.detail + "; " + note;
}

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
    if (auto skip = ExtractSkipVerdict(entry)) {
        result.outcome = skip->outcome;
        result.detail = skip->reason;
        return true;
    }
    if (overlaps_.IsInsideAnother(centralDir.entries, index, [this](std::uint32_t j) { ProbeEntry(j); })) {
        result.outcome = ExtractOutcome::Skipped;
        result.detail = "inside another entry's data";
        return true;
    }
    // Folder entries name a folder, which any number of them share; a file
    // takes a name of its own in this destination.
    const std::filesystem::path relative = IsFolderEntry(entry)
                                               ? OutputRelativePath(entry.fileName, NamesFor(destinationFolder).Rules())
                                               : NamesFor(destinationFolder).Claim(entry.fileName);
    if (IsFolderEntry(entry) || IsEmptyFile(entry)) {
        const bool done = WriteWithoutData(entry, destinationFolder, relative, result);
        if (done) NoteRenaming(entry, relative, result);
        return done;
    }
    if (!OpenEntry(index)) {
        result.detail = "cannot open the entry";
        return false;
    }
    // Stored data whose end was never found runs to the next record the scan
    // found, or to the end of the file.
    const bool endUnknown = entry.method == zip::kMethodStored && entry.IsStreamedUnknownSize();
    const std::uint64_t limit = endUnknown ? StoredStreamLimit(entry) : 0;
    if (endUnknown)
        decoder_->Begin(zip::kMethodStored, opened_.dataOffset, limit - std::min(limit, opened_.dataOffset));

    CFile output;
    if (!CreateOutput(destinationFolder, relative, &output, result)) {
        AbandonEntry();
        return false;
    }
    result.outputPath = output.GetFilePath();
    try {
        result.crc32 = IsLarge(entry) ? WriteEntryDataInBackground(output, bufferSize, result)
                                      : WriteEntryData(output, bufferSize, result);
    } catch (...) {
        AbandonEntry();
        throw;
    }

    Verdict verdict = JudgeOutput(entry, result);
    if (endUnknown)
        verdict = {ExtractOutcome::Truncated,
                   limit < storage.Length() ? "end of the stored data not found; written up to the next record"
                                            : "end of the stored data not found; written up to the end of the archive"};
    else if (verdict.outcome != ExtractOutcome::Ok && TrimToDeclaredSize(entry, output, result))
        verdict = {ExtractOutcome::Ok, "data ran on past the declared size; cut there, where the CRC-32 matches"};
    overlaps_.Record(index, verdict.outcome == ExtractOutcome::Ok, opened_.dataOffset + decoder_->consumed());
    const bool corrupt = decoder_->status() == EntryDecoder::Status::DataError && verdict.outcome != ExtractOutcome::Ok;
    dataError = 0;
    state_.shortRead = 0;
    result.outcome = verdict.outcome;
    result.detail = verdict.detail;
    // Corrupt data keeps what was decompressed, without the entry's time.
    // The time goes on the open file, never through its path again.
    const std::time_t modified = centralDir.OpenedEntry()->GetModificationTime();
    if (!corrupt && modified != static_cast<std::time_t>(-1)) output.SetModificationTime(modified);
    AbandonEntry();
    output.Close();
    NoteRenaming(entry, relative, result);
    return true;
}

COutputNames& CZipArchive::NamesFor(const std::filesystem::path& destinationFolder) {
    if (outputNames_ != nullptr) return *outputNames_;
    if (!ownNames_ || ownNamesFolder_ != destinationFolder) {
        ownNames_ = std::make_unique<COutputNames>();
        ownNamesFolder_ = destinationFolder;
    }
    return *ownNames_;
}

// The output file, or without one the folder, made below the destination
// without following any link already there; the destination itself is made
// when missing.
bool CZipArchive::CreateOutput(const std::filesystem::path& destinationFolder, const std::filesystem::path& relative,
                               CFile* output, ExtractReport& report) {
    std::optional<COutputTree> tree(std::in_place, destinationFolder);
    if (!tree->IsOpen() && CreateFolderTree(destinationFolder)) tree.emplace(destinationFolder);
    const OutputStatus status =
        output != nullptr ? tree->CreateOutputFile(relative, *output) : tree->CreateFolders(relative);
    if (status == OutputStatus::Created) return true;
    report.outcome = ExtractOutcome::Failed;
    report.detail = status == OutputStatus::PassesThroughLink
                        ? kPassesThroughLinkText
                        : "cannot create " + PathToUtf8(destinationFolder / relative) + ": " +
                              std::system_category().message(tree->LastError());
    return false;
}

// Folder entries and empty files carry no data: the folder, or an empty file
// with the entry's time, is all there is to write.
bool CZipArchive::WriteWithoutData(const CFileHeader& entry, const std::filesystem::path& destinationFolder,
                                   const std::filesystem::path& relative, ExtractReport& report) {
    const bool folder = IsFolderEntry(entry);
    CFile output;
    if (!CreateOutput(destinationFolder, relative, folder ? nullptr : &output, report)) return false;
    report.outcome = ExtractOutcome::Ok;
    if (folder) {
        report.outputPath = destinationFolder / relative;
        return true;
    }
    report.outputPath = output.GetFilePath();
    const std::time_t modified = entry.GetModificationTime();
    if (modified != static_cast<std::time_t>(-1)) output.SetModificationTime(modified);
    output.Close();
    return true;
}

// Reads an entry to its end without writing it, so that the overlap guard
// learns whether it comes out whole and how much data it consumed.
void CZipArchive::ProbeEntry(std::uint32_t index) {
    const CFileHeader& entry = centralDir.Entry(index);
    try {
        if (!OpenEntry(index)) return overlaps_.Record(index, false, 0);
        ExtractReport report;
        outputBuffer_.resize(std::size_t{1} << 16);
        while (decoder_->status() == EntryDecoder::Status::Reading)
            report.bytesWritten += decoder_->Read(outputBuffer_.data(), outputBuffer_.size());
        report.crc32 = decoder_->crc();
        const bool whole = JudgeOutput(entry, report).outcome == ExtractOutcome::Ok;
        overlaps_.Record(index, whole, opened_.dataOffset + decoder_->consumed());
    } catch (...) {
        overlaps_.Record(index, false, 0);
    }
    if (entryState != 0) AbandonEntry();
    dataError = 0;
    state_.shortRead = 0;
}

// The next local header the scan found at or after the entry's data, or the
// end of the file.
std::uint64_t CZipArchive::StoredStreamLimit(const CFileHeader& entry) {
    if (headerOffsets_.empty()) {
        headerOffsets_.reserve(centralDir.entries.size());
        for (const CFileHeader& other : centralDir.entries) headerOffsets_.push_back(other.localHeaderOffset);
        std::sort(headerOffsets_.begin(), headerOffsets_.end());
    }
    auto next = std::lower_bound(headerOffsets_.begin(), headerOffsets_.end(), entry.DataOffset());
    return next != headerOffsets_.end() ? std::min(*next, storage.Length()) : storage.Length();
}

CZipArchive::Verdict CZipArchive::JudgeOutput(const CFileHeader& entry, const ExtractReport& report) {
    switch (decoder_->status()) {
        case EntryDecoder::Status::DataError:
            return {ExtractOutcome::Damaged,
                    "corrupt compressed data after " + std::to_string(report.bytesWritten) + " bytes"};
        case EntryDecoder::Status::Truncated: return {ExtractOutcome::Truncated, "archive ends inside the data"};
        default: return FinishedVerdict(entry, report.crc32);
    }
}

// A damaged end-of-stream mark lets a deflate stream run on into whatever
// follows it. When the output is at least the declared size and exactly the
// declared size's bytes carry the declared CRC-32, those bytes are the
// entry: the rest is cut. (A declared size that is merely too small never
// matches the CRC-32 of the whole content, so it never cuts real data.)
bool CZipArchive::TrimToDeclaredSize(const CFileHeader& entry, CFile& output, ExtractReport& report) {
    if (entry.IsStreamedUnknownSize() || report.bytesWritten < entry.uncompressedSize) return false;
    // A stream that ended cleanly at the declared size was judged already.
    if (report.bytesWritten == entry.uncompressedSize)
        return decoder_->status() != EntryDecoder::Status::Finished && report.crc32 == entry.crc32;
    output.Seek(0, CFile::Origin::Begin);
    std::vector<std::uint8_t> chunk(std::size_t{64} << 10);
    std::uint32_t crc = 0;
    for (std::uint64_t left = entry.uncompressedSize; left > 0;) {
        const std::size_t got =
            output.Read(chunk.data(), static_cast<std::size_t>(std::min<std::uint64_t>(left, chunk.size())));
        if (got == 0) return false;
        crc = static_cast<std::uint32_t>(::crc32(crc, chunk.data(), static_cast<uInt>(got)));
        left -= got;
    }
    if (crc != entry.crc32) return false;
    output.SetLength(entry.uncompressedSize);
    report.bytesWritten = entry.uncompressedSize;
    report.crc32 = crc;
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
