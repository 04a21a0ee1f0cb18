// The archive object: opening (the salvage scan), entry copies, the
// entry-reading sequence, and extracting one entry with the verdict on what
// was written.
#include "archive/ZipArchive.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "archive/BackgroundWriter.h"
#include "archive/CompressionMethods.h"
#include "archive/EntryDecoder.h"
#include "archive/EntryName.h"
#include "archive/FileCrc.h"
#include "archive/LostOutput.h"
#include "archive/SkipRules.h"
#include "archive/ZipException.h"
#include "archive/crypto/AesAuthentication.h"
#include "archive/crypto/AesDecryption.h"
#include "archive/crypto/PasswordSource.h"
#include "archive/crypto/TraditionalDecryption.h"
#include "archive/output/EntrySink.h"
#include "platform/FileException.h"
#include "platform/FileSystem.h"

namespace tessaly {

CZipArchive::CZipArchive() : centralDir(storage), decoder_(std::make_unique<EntryDecoder>(storage)) {}

CZipArchive::~CZipArchive() = default;

void CZipArchive::OpenArchive(const std::filesystem::path& path, RepairMode repairMode, const ScanState& state,
                              int mode, int volumeSize) {
    entryState = 0;
    vote_.Reset();
    overlaps_.Reset();
    layout_.Reset();
    if (!storage.Open(path, mode, volumeSize)) return;
    centralDir.Init();
    if (mode == 0 || mode == 1) centralDir.Read(repairMode, state);
}

bool CZipArchive::OpenCopyOf(const CZipArchive& scanned) {
    entryState = 0;
    vote_.Reset();
    overlaps_.Reset();
    layout_.Reset();
    if (!scanned.IsOpen() || !storage.Open(scanned.storage.Path(), 0, 1)) return false;
    centralDir.Init();
    centralDir.entries = scanned.centralDir.entries;
    return true;
}

void CZipArchive::CloseArchive(bool afterError) {
    if (entryState != 0) AbandonEntry();
    overlaps_.Reset();
    layout_.Reset();
    centralDir.Clear();
    storage.Close(afterError);
}

void CZipArchive::SetExpansionLimits(const ExpansionLimits& limits) { decoder_->SetLimits(limits); }

bool CZipArchive::GetEntryInfo(CFileHeader& header, std::uint32_t index) const {
    if (!centralDir.IsValidIndex(index)) return false;
    header = centralDir.Entry(index);
    if (convertSlashes) std::replace(header.fileName.begin(), header.fileName.end(), '/', '\\');
    return true;
}

bool CZipArchive::OpenEntry(std::uint32_t index) {
    if (!centralDir.IsValidIndex(index) || storage.IsSpanMode() == 1 || !storage.IsOpen()) return false;
    if (entryState != 0) AbandonEntry();
    lockedOut_ = EntryVerdict{ExtractOutcome::Ok, {}};
    try {
        opened_ = centralDir.OpenEntry(index);
        const CFileHeader& entry = centralDir.Entry(index);
        dataStart_ = opened_.dataOffset;
        decryption_.reset();
        aes_ = nullptr;
        decoder_->Begin(OpenedStream(entry), opened_.dataOffset, entry.compressedSize);
        if (entry.IsEncrypted() || opened_.aes) {
            if (std::optional<EntryVerdict> problem = StartDecryption(entry)) {
                lockedOut_ = std::move(*problem);
                decoder_->End();
                centralDir.CloseEntry();
                return false;
            }
        }
    } catch (...) {
        decoder_->End();
        centralDir.CloseEntry();
        throw;
    }
    entryState = -1;
    return true;
}

std::size_t CZipArchive::ReadEntryData(void* buffer, std::size_t size) {
    if (entryState != -1 || buffer == nullptr || size == 0) return 0;
    const std::size_t n = decoder_->Read(static_cast<std::uint8_t*>(buffer), size);
    if (decoder_->State() == EntryDecoder::Status::DataError) dataError = 1;
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

// Asks the password source (which answers once per archive), checks the
// password against the scheme's framing and has the decoder decrypt the data
// after it. Nothing when the data can be read; else why not, and nothing of
// the entry is then written.
std::optional<EntryVerdict> CZipArchive::StartDecryption(const CFileHeader& entry) {
    if (!opened_.aes && EncryptionSchemeOf(entry) == EncryptionScheme::Strong)
        return EntryVerdict{ExtractOutcome::Encrypted, EncryptionText(entry)};
    if (std::optional<EntryVerdict> cut = CutBeforeEncryptedData(entry)) return cut;
    std::optional<std::string> password;
    if (passwordSource_ != nullptr) password = passwordSource_->PasswordFor(storage.Path(), entry.fileName);
    if (!password) return EntryVerdict{ExtractOutcome::Encrypted, EncryptionText(entry)};
    decryption_ = MakeDecryption(entry, *password);
    const std::string scheme = decryption_->SchemeName();

    std::vector<std::uint8_t> header(decryption_->HeaderSize());
    storage.Seek(opened_.dataOffset);
    if (storage.file.Read(header.data(), header.size()) < header.size())
        return EntryVerdict{ExtractOutcome::Truncated, "archive ends inside the encryption header (" + scheme + ")"};
    const PasswordVote::Verdict vote = aes_ == nullptr ? vote_.Of(*password) : PasswordVote::Verdict::Undecided;
    std::fill(password->begin(), password->end(), '\0');
    const bool checked = decryption_->Start(header.data());
    // A check byte that refuses the password the archive's other entries
    // accept says this entry's encryption header (or the CRC-32 it is
    // checked against) is damaged, not that the password is wrong.
    if (!checked && vote == PasswordVote::Verdict::Confirmed)
        return EntryVerdict{ExtractOutcome::Damaged,
                            "encryption header damaged: its check byte refuses the password the "
                            "archive's other entries accept (" +
                                scheme + ")"};
    if (!checked || vote == PasswordVote::Verdict::Refuted)
        return EntryVerdict{ExtractOutcome::Encrypted, std::string(kWrongPasswordText) + " (" + scheme + ")"};

    dataStart_ = opened_.dataOffset + header.size();
    const std::uint64_t framing = header.size() + decryption_->TrailerSize();
    const bool sizesKnown = !entry.IsStreamedUnknownSize();
    const std::uint64_t length = entry.compressedSize - std::min(entry.compressedSize, framing);
    if (aes_ != nullptr) aes_->SetAuthenticatedLength(sizesKnown ? std::optional<std::uint64_t>(length) : std::nullopt);
    BeginData(length);
    return std::nullopt;
}

namespace {
// The bytes the opened entry's encryption puts around its data: the
// encryption header in front (for AES the salt and password verifier) and,
// for AES, the authentication code after it.
std::size_t FramingSize(const OpenedEntryInfo& opened) {
    if (!opened.aes) return TraditionalDecryption::kHeaderSize;
    return AesDecryption::SaltSize(opened.aes->strength) + AesDecryption::kVerifierSize + AesDecryption::kCodeSize;
}

}  // namespace

// An entry whose data ends before its encryption framing does (more of the
// archive follows, so it is not the end of the file) holds no encrypted data
// at all: its framing bytes are those of the next record, and checking a
// password against them would call a right password wrong. Nothing is
// read; no password is asked for.
std::optional<EntryVerdict> CZipArchive::CutBeforeEncryptedData(const CFileHeader& entry) {
    const std::size_t framing = FramingSize(opened_);
    const std::uint64_t room = layout_.DataRoom(entry, opened_.dataOffset);
    if (room >= framing || opened_.dataOffset + room >= storage.Length()) return std::nullopt;
    const char* scheme =
        EncryptionSchemeName(opened_.aes ? EncryptionScheme::WinZipAes : EncryptionScheme::Traditional);
    return EntryVerdict{ExtractOutcome::Damaged, "entry cut short before its encrypted data begins (" +
                                                     std::to_string(room) + " bytes of data, the " + scheme +
                                                     " needs " + std::to_string(framing) + ")"};
}

std::unique_ptr<EntryDecryption> CZipArchive::MakeDecryption(const CFileHeader& entry, const std::string& password) {
    if (opened_.aes) {
        auto aes = std::make_unique<AesDecryption>(password, *opened_.aes);
        aes_ = aes.get();
        return aes;
    }
    aes_ = nullptr;
    return std::make_unique<TraditionalDecryption>(password, TraditionalDecryption::CheckByteOf(entry));
}

// What the decompressor needs of the opened entry; an AES entry's method is
// the one inside its encryption.
StreamParameters CZipArchive::OpenedStream(const CFileHeader& entry) const {
    StreamParameters stream;
    stream.method = opened_.method;
    stream.flags = entry.flags;
    if (!entry.IsStreamedUnknownSize()) stream.uncompressedSize = entry.uncompressedSize;
    return stream;
}

// Starts the decoder on the entry's data (after any encryption header),
// `length` bytes of it as declared.
void CZipArchive::BeginData(std::uint64_t length) {
    decoder_->Begin(OpenedStream(*centralDir.OpenedEntry()), dataStart_, length);
    decoder_->SetDecryption(decryption_.get());
}

// The judge of the opened entry's output.
EntryJudge CZipArchive::Judge(const CFileHeader& entry) const {
    return EntryJudge(entry, opened_, *decoder_, dataStart_, decryption_ != nullptr ? decryption_->TrailerSize() : 0,
                      aes_ == nullptr || aes_->ChecksCrc());
}

// An AES entry's verdict after its authentication code is checked.
EntryVerdict CZipArchive::AuthenticationVerdict(const CFileHeader& entry, EntryVerdict verdict) {
    if (aes_ == nullptr || decoder_->State() == EntryDecoder::Status::Truncated ||
        verdict.outcome == ExtractOutcome::Truncated)
        return verdict;
    const std::uint64_t framing = (dataStart_ - opened_.dataOffset) + AesDecryption::kCodeSize;
    const std::uint64_t length = entry.IsStreamedUnknownSize()
                                     ? decoder_->Consumed()
                                     : entry.compressedSize - std::min(entry.compressedSize, framing);
    return AuthenticatedVerdict(*aes_, storage, dataStart_, length, std::move(verdict));
}

void CZipArchive::AbandonEntry() {
    decoder_->End();
    centralDir.CloseEntry();
    entryState = 0;
}

namespace {
void AppendNote(ExtractReport& report, const std::string& note) {
    if (note.empty()) return;
    report.detail = report.detail.empty() ? note : report.detail + "; " + note;
}

// What the scan took from the central record over the local header, and
// the name the output has when it is not the entry's own.
void AddNotes(const CFileHeader& entry, ExtractReport& report) {
    AppendNote(report, entry.repairNote);
    AppendNote(report, report.outputNote);
}

// Entries from this size on are written on a second thread.
constexpr std::uint64_t kBackgroundWriteThreshold = std::uint64_t{4} << 20;
constexpr std::size_t kBackgroundBlockSize = std::size_t{1} << 20;

// The length of the output file as it is on disk, or `counted` when even
// that cannot be learnt.
std::uint64_t LengthOnDisk(const CFile& output, std::uint64_t counted) {
    try {
        return output.GetLength();
    } catch (const CFileException&) {
        return counted;
    }
}
}  // namespace

bool CZipArchive::ExtractEntry(std::uint32_t index, EntrySink& sink, std::size_t bufferSize, ExtractReport* report,
                               const ScanState& state) {
    ExtractReport scratch;
    ExtractReport& result = report != nullptr ? *report : scratch;
    result = ExtractReport{};
    CFileHeader entry;
    if (bufferSize == 0 || !GetEntryInfo(entry, index)) {
        result.detail = bufferSize == 0 ? "no buffer" : "no such entry";
        return false;
    }
    if (auto skip = ExtractSkipVerdict(entry, passwordSource_ != nullptr)) {
        result.outcome = skip->outcome;
        result.detail = skip->reason;
        AddNotes(entry, result);
        return true;
    }
    if (overlaps_.IsInsideAnother(centralDir.entries, index, [this](std::uint32_t j) { ProbeEntry(j); })) {
        result.outcome = ExtractOutcome::Skipped;
        result.detail = "inside another entry's data";
        return true;
    }
    if (IsFolderEntry(entry) || IsEmptyFile(entry)) {
        const bool done = WriteWithoutData(entry, sink, result);
        if (done && entry.localHeaderLost) result.detail = "local header lost; written from the central record";
        if (done) AddNotes(entry, result);
        return done;
    }
    return ExtractData(index, entry, sink, bufferSize, result, state);
}

// An entry with data: decoded into the file the sink gives it, judged, and
// given its time unless its data is corrupt.
bool CZipArchive::ExtractData(std::uint32_t index, const CFileHeader& entry, EntrySink& sink, std::size_t bufferSize,
                              ExtractReport& result, const ScanState& state) {
    // A file takes its name from the sink once its data can be read: an
    // entry locked by a wrong password leaves its name to others.
    if (!OpenEntry(index)) {
        if (lockedOut_.outcome != ExtractOutcome::Ok) {
            result.outcome = lockedOut_.outcome;
            result.detail = lockedOut_.detail;
            return true;
        }
        result.detail = "cannot open the entry";
        return false;
    }
    // Stored data whose end was never found runs to the next record the scan
    // found, or to the end of the file.
    const bool endUnknown = opened_.method == zip::kMethodStored && entry.IsStreamedUnknownSize();
    const std::uint64_t limit = endUnknown ? StoredStreamLimit(entry) : 0;
    if (endUnknown) BeginData(limit - std::min(limit, dataStart_));

    CFile output;
    if (!sink.OpenFile(entry, output, result)) {
        AbandonEntry();
        return false;
    }
    try {
        result.crc32 = IsLarge(entry) ? WriteEntryDataInBackground(output, bufferSize, result, state)
                                      : WriteEntryData(output, bufferSize, result, state);
    } catch (...) {
        // A write that failed part of the way (a full disk, a file-size
        // limit) left more on disk than the blocks counted: the report names
        // what the file holds. The file is kept, like every partial output.
        result.bytesWritten = LengthOnDisk(output, result.bytesWritten);
        AbandonEntry();
        throw;
    }

    const EntryVerdict verdict = DecideVerdict(entry, output, result, endUnknown ? std::optional(limit) : std::nullopt);
    if (verdict.outcome == ExtractOutcome::Ok && verdict.detail.empty() && !endUnknown)
        result.storedData = StoredExtent{opened_.dataOffset, Judge(entry).ConsumedEnd() - opened_.dataOffset};
    overlaps_.Record(index, verdict.outcome == ExtractOutcome::Ok, Judge(entry).ConsumedEnd());
    const bool corrupt = decoder_->State() == EntryDecoder::Status::DataError && verdict.outcome != ExtractOutcome::Ok;
    dataError = 0;
    result.outcome = verdict.outcome;
    result.detail = verdict.detail;
    result.lost = LostOutput(verdict, *decoder_, result.bytesWritten);
    if (resync_ && result.outcome == ExtractOutcome::Damaged) RecoverPastDamage(entry, output, result, state);
    // Corrupt data keeps what was decompressed, without the entry's time.
    // The time goes on the open file, never through its path again.
    const std::time_t modified = centralDir.OpenedEntry()->GetModificationTime();
    if (!corrupt && modified != static_cast<std::time_t>(-1)) output.SetModificationTime(modified);
    AbandonEntry();
    output.Close();
    AddNotes(entry, result);
    return true;
}

// Searches a broken Deflate or Deflate64 stream past its damage (or finds
// the damage zlib read through in a stream it wrote), or BZip2 data for the
// whole blocks after its damaged one, and writes what can be read there at
// its offset (TailRecovery.h). Encrypted data is not searched.
void CZipArchive::RecoverPastDamage(const CFileHeader& entry, CFile& output, ExtractReport& report,
                                    const ScanState& state) {
    if (decryption_ != nullptr) return;
    const std::optional<StreamBreak>& where = decoder_->Break();
    const bool broke = decoder_->State() == EntryDecoder::Status::DataError;
    const bool readThrough = decoder_->State() == EntryDecoder::Status::Finished;
    const bool deflate64 = opened_.method == zip::kMethodDeflate64;
    const bool deflated = opened_.method == zip::kMethodDeflated;
    const std::optional<std::uint64_t> size =
        entry.IsStreamedUnknownSize() ? std::nullopt : std::optional(entry.uncompressedSize);
    TailRecovery recovery(storage, ExtentOf(entry));
    const auto checkpoint = [&state] { state.Checkpoint(); };
    TailRecoveryResult recovered;
    if (broke && where && (deflated || deflate64))
        recovered = recovery.Recover(deflate64 ? DeflateFormat::Deflate64 : DeflateFormat::Deflate, *where, size,
                                     output, report.bytesWritten, checkpoint);
    else if (broke && opened_.method == zip::kMethodBZip2)
        recovered = recovery.RecoverBzip2(size, output, report.bytesWritten, checkpoint);
    // Damage read through is placed only when it changed the length: a
    // change that keeps it (one literal's code turned into another's) can
    // be written by zlib exactly so, and would not show where it lies.
    else if (readThrough && deflated && size && *size != report.bytesWritten && report.bytesWritten > 0)
        recovered = recovery.RecoverUndetected(size, output, report.bytesWritten, checkpoint);
    else
        return;
    if (!recovered.tail) {
        // A stream read to its end may not be damaged at all (a size or
        // CRC-32 record can be the wrong part): only a break is explained.
        if (broke) report.detail += "; " + recovered.why;
        return;
    }
    const RecoveredTail& tail = *recovered.tail;
    report.bytesWritten = tail.fileLength;
    report.crc32 = CrcOfFileStart(output, tail.fileLength).value_or(0);
    report.lost = tail.lost;
    report.detail = RecoveredTailText(tail);
}

// Where the entry's compressed data ends: at its declared size when that
// ends where the next record (or the file) begins, else at the next record,
// with a data descriptor perhaps in between.
CompressedExtent CZipArchive::ExtentOf(const CFileHeader& entry) {
    CompressedExtent extent;
    extent.offset = dataStart_;
    extent.sizes64 = opened_.zip64;
    const std::uint64_t room = layout_.DataRoom(entry, dataStart_);
    if (!entry.IsStreamedUnknownSize() && room == entry.compressedSize) {
        extent.end = dataStart_ + entry.compressedSize;
        return extent;
    }
    extent.end = std::max(dataStart_, layout_.NextHeaderFrom(dataStart_));
    extent.descriptorMayFollow = entry.HasDescriptorFlag();
    return extent;
}

// The one verdict on an extracted entry, from what was written (its length
// and CRC-32 in `report`, the file itself for a cut), the decoder's end and
// the errors it met, and the authentication code. Stored data whose end was
// never found (`storedLimit`: where it was written up to) is never whole.
EntryVerdict CZipArchive::DecideVerdict(const CFileHeader& entry, CFile& output, ExtractReport& report,
                                        std::optional<std::uint64_t> storedLimit) {
    if (storedLimit && decoder_->State() != EntryDecoder::Status::Limited)
        return {ExtractOutcome::Truncated,
                *storedLimit < storage.Length()
                    ? "end of the stored data not found; written up to the next record"
                    : "end of the stored data not found; written up to the end of the archive"};
    EntryJudge judge = Judge(entry);
    const EntryVerdict verdict = AuthenticationVerdict(entry, judge.Judge(report));
    if (verdict.outcome != ExtractOutcome::Ok && aes_ == nullptr && judge.TrimToDeclaredSize(output, report))
        return {ExtractOutcome::Ok, "data ran on past the declared size; cut there, where the CRC-32 matches"};
    return verdict;
}

// Folder entries and empty files carry no data: the folder, or an empty file
// with the entry's time, is all there is to write.
bool CZipArchive::WriteWithoutData(const CFileHeader& entry, EntrySink& sink, ExtractReport& report) {
    if (IsFolderEntry(entry)) {
        if (!sink.MakeFolder(entry, report)) return false;
        report.outcome = ExtractOutcome::Ok;
        return true;
    }
    CFile output;
    if (!sink.OpenFile(entry, output, report)) return false;
    report.outcome = ExtractOutcome::Ok;
    const std::time_t modified = entry.GetModificationTime();
    if (modified != static_cast<std::time_t>(-1)) output.SetModificationTime(modified);
    output.Close();
    return true;
}

std::optional<CZipArchive::LocalRecord> CZipArchive::ReadLocalRecord(std::uint32_t index) {
    if (!centralDir.IsValidIndex(index) || entryState != 0 || centralDir.Entry(index).localHeaderLost) return {};
    LocalRecord record;
    try {
        const OpenedEntryInfo opened = centralDir.OpenEntry(index);
        record.dataOffset = opened.dataOffset;
        record.aes = opened.aes;
        const std::uint8_t* extra = centralDir.localExtra.GetBuffer();
        if (extra != nullptr) record.extra.assign(extra, extra + centralDir.localExtra.GetSize());
    } catch (const CZipException&) {
        centralDir.CloseEntry();
        return {};
    } catch (const CFileException&) {
        centralDir.CloseEntry();
        return {};
    }
    centralDir.CloseEntry();
    return record;
}

std::optional<StoredExtent> CZipArchive::DeclaredExtent(std::uint32_t index) {
    const std::optional<LocalRecord> record = ReadLocalRecord(index);
    if (!record) return {};
    const CFileHeader& entry = centralDir.Entry(index);
    if (entry.IsStreamedUnknownSize() || record->dataOffset > storage.Length() ||
        entry.compressedSize > storage.Length() - record->dataOffset ||
        layout_.DataRoom(entry, record->dataOffset) != entry.compressedSize)
        return {};
    return StoredExtent{record->dataOffset, entry.compressedSize};
}

// Reads an entry to its end without writing it, so that the overlap guard
// learns whether it comes out whole and how much data it consumed.
void CZipArchive::ProbeEntry(std::uint32_t index) {
    const CFileHeader& entry = centralDir.Entry(index);
    try {
        if (!OpenEntry(index)) return overlaps_.Record(index, false, 0);
        ExtractReport report;
        outputBuffer_.resize(std::size_t{1} << 16);
        while (decoder_->State() == EntryDecoder::Status::Reading)
            report.bytesWritten += decoder_->Read(outputBuffer_.data(), outputBuffer_.size());
        report.crc32 = decoder_->Crc();
        EntryJudge judge = Judge(entry);
        const bool whole = AuthenticationVerdict(entry, judge.Judge(report)).outcome == ExtractOutcome::Ok;
        overlaps_.Record(index, whole, judge.ConsumedEnd());
    } catch (...) {
        overlaps_.Record(index, false, 0);
    }
    if (entryState != 0) AbandonEntry();
    dataError = 0;
}

// The next local header the scan found at or after the entry's data, or the
// end of the file.
std::uint64_t CZipArchive::StoredStreamLimit(const CFileHeader& entry) {
    return layout_.NextHeaderFrom(entry.DataOffset());
}

std::uint32_t CZipArchive::WriteEntryData(CFile& output, std::size_t bufferSize, ExtractReport& report,
                                          const ScanState& state) {
    outputBuffer_.resize(bufferSize);
    for (;;) {
        const std::size_t n = ReadEntryData(outputBuffer_.data(), bufferSize);
        if (n > 0) {
            output.Write(outputBuffer_.data(), n);
            report.bytesWritten += n;
        }
        state.Checkpoint();
        if (n < bufferSize || decoder_->State() != EntryDecoder::Status::Reading) return decoder_->Crc();
    }
}

// Large entries are decompressed on this thread while another one writes
// the previous block and keeps the CRC-32, so the two costs overlap.
std::uint32_t CZipArchive::WriteEntryDataInBackground(CFile& output, std::size_t bufferSize, ExtractReport& report,
                                                      const ScanState& state) {
    BackgroundWriter writer(output, std::max(bufferSize, kBackgroundBlockSize));
    for (;;) {
        const std::size_t n = decoder_->Read(writer.Block(), writer.BlockSize(), false);
        writer.Commit(n);
        state.Checkpoint();
        if (n < writer.BlockSize() || decoder_->State() != EntryDecoder::Status::Reading) break;
    }
    writer.Finish();
    if (decoder_->State() == EntryDecoder::Status::DataError) dataError = 1;
    report.bytesWritten = writer.Written();
    return writer.Crc();
}

bool CZipArchive::IsLarge(const CFileHeader& entry) {
    return entry.uncompressedSize >= kBackgroundWriteThreshold || entry.compressedSize >= kBackgroundWriteThreshold ||
           entry.IsStreamedUnknownSize();
}

}  // namespace tessaly
