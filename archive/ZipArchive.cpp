// The archive object: opening (the salvage scan), entry copies, the
// entry-reading sequence, and extracting one entry with the verdict on what
// was written.
#include "archive/ZipArchive.h"

#include <zlib.h>

#include <algorithm>
#include <optional>
#include <sstream>
#include <vector>

#include "archive/AesDecryption.h"
#include "archive/BackgroundWriter.h"
#include "archive/CompressionMethods.h"
#include "archive/EntryDecoder.h"
#include "archive/EntryName.h"
#include "archive/EntrySink.h"
#include "archive/PasswordSource.h"
#include "archive/SkipRules.h"
#include "archive/TraditionalDecryption.h"
#include "platform/FileException.h"
#include "platform/FileSystem.h"

namespace tessaly {

CZipArchive::CZipArchive() : centralDir(storage), decoder_(std::make_unique<EntryDecoder>(storage)) {}

CZipArchive::~CZipArchive() = default;

void CZipArchive::OpenArchive(const std::filesystem::path& path, RepairMode repairMode, const ScanState& state,
                              int mode, int volumeSize) {
    entryState = 0;
    traditionalVote_.reset();
    overlaps_.Reset();
    headerOffsets_.clear();
    if (!storage.Open(path, mode, volumeSize)) return;
    centralDir.Init();
    if (mode == 0 || mode == 1) centralDir.Read(repairMode, state);
}

bool CZipArchive::OpenCopyOf(const CZipArchive& scanned) {
    entryState = 0;
    traditionalVote_.reset();
    overlaps_.Reset();
    headerOffsets_.clear();
    if (!scanned.IsOpen() || !storage.Open(scanned.storage.Path(), 0, 1)) return false;
    centralDir.Init();
    centralDir.entries = scanned.centralDir.entries;
    return true;
}

void CZipArchive::CloseArchive(bool afterError) {
    if (entryState != 0) AbandonEntry();
    overlaps_.Reset();
    headerOffsets_.clear();
    centralDir.Clear();
    storage.Close(afterError);
}

void CZipArchive::SetExpansionLimits(const ExpansionLimits& limits) { decoder_->SetLimits(limits); }

const ExpansionLimits& CZipArchive::GetExpansionLimits() const { return decoder_->limits(); }

bool CZipArchive::GetEntryInfo(CFileHeader& header, std::uint32_t index) const {
    if (!centralDir.IsValidIndex(index)) return false;
    header = centralDir.Entry(index);
    if (convertSlashes) std::replace(header.fileName.begin(), header.fileName.end(), '/', '\\');
    return true;
}

bool CZipArchive::OpenEntry(std::uint32_t index) {
    if (!centralDir.IsValidIndex(index) || storage.IsSpanMode() == 1 || !storage.IsOpen()) return false;
    if (entryState != 0) AbandonEntry();
    lockedOut_ = Verdict{ExtractOutcome::Ok, {}};
    try {
        opened_ = centralDir.OpenEntry(index);
        const CFileHeader& entry = centralDir.Entry(index);
        dataStart_ = opened_.dataOffset;
        decryption_.reset();
        aes_ = nullptr;
        decoder_->Begin(OpenedStream(entry), opened_.dataOffset, entry.compressedSize);
        if (entry.IsEncrypted() || opened_.aes) {
            if (std::optional<Verdict> problem = StartDecryption(entry)) {
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
    if (decoder_->status() == EntryDecoder::Status::DataError) dataError = 1;
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
std::optional<CZipArchive::Verdict> CZipArchive::StartDecryption(const CFileHeader& entry) {
    if (!opened_.aes && EncryptionSchemeOf(entry) == EncryptionScheme::Strong)
        return Verdict{ExtractOutcome::Encrypted, EncryptionText(entry)};
    if (std::optional<Verdict> cut = CutBeforeEncryptedData(entry)) return cut;
    std::optional<std::string> password;
    if (passwordSource_ != nullptr) password = passwordSource_->PasswordFor(storage.Path(), entry.fileName);
    if (!password) return Verdict{ExtractOutcome::Encrypted, EncryptionText(entry)};
    decryption_ = MakeDecryption(entry, *password);
    const std::string scheme = decryption_->SchemeName();

    std::vector<std::uint8_t> header(decryption_->HeaderSize());
    storage.Seek(opened_.dataOffset);
    if (storage.file.Read(header.data(), header.size()) < header.size())
        return Verdict{ExtractOutcome::Truncated, "archive ends inside the encryption header (" + scheme + ")"};
    const PasswordVote vote = aes_ == nullptr ? VoteOfOtherEntries(*password) : PasswordVote::Undecided;
    std::fill(password->begin(), password->end(), '\0');
    const bool checked = decryption_->Start(header.data());
    // A check byte that refuses the password the archive's other entries
    // accept says this entry's encryption header (or the CRC-32 it is
    // checked against) is damaged, not that the password is wrong.
    if (!checked && vote == PasswordVote::Confirmed)
        return Verdict{ExtractOutcome::Damaged,
                       "encryption header damaged: its check byte refuses the password the "
                       "archive's other entries accept (" +
                           scheme + ")"};
    if (!checked || vote == PasswordVote::Refuted)
        return Verdict{ExtractOutcome::Encrypted, "wrong password (" + scheme + ")"};

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

bool IsRecordSignature(std::uint32_t value) {
    return value == zip::kLocalHeaderSignature || value == zip::kCentralHeaderSignature ||
           value == zip::kDescriptorSignature || value == zip::kEndRecordSignature;
}
}  // namespace

// An entry whose data ends before its encryption framing does (more of the
// archive follows, so it is not the end of the file) holds no encrypted data
// at all: its framing bytes are those of the next record, and checking a
// password against them would call a right password wrong. Nothing is
// read; no password is asked for.
std::optional<CZipArchive::Verdict> CZipArchive::CutBeforeEncryptedData(const CFileHeader& entry) {
    const std::size_t framing = FramingSize(opened_);
    const std::uint64_t room = DataRoom(entry, opened_.dataOffset);
    if (room >= framing || opened_.dataOffset + room >= storage.Length()) return std::nullopt;
    const char* scheme =
        EncryptionSchemeName(opened_.aes ? EncryptionScheme::WinZipAes : EncryptionScheme::Traditional);
    return Verdict{ExtractOutcome::Damaged, "entry cut short before its encrypted data begins (" +
                                                std::to_string(room) + " bytes of data, the " + scheme + " needs " +
                                                std::to_string(framing) + ")"};
}

// How many bytes from `dataOffset` the entry's data can take up: up to the
// next local header the scan found (or the end of the file), or less where
// the entry's records say it ends sooner. A declared compressed size counts
// when a record follows right after it (for a streamed entry, a data
// descriptor with or without its signature and a record after it); a
// streamed entry of unknown size ends where a descriptor in front of the
// next header says. A declared size with no record after it may be
// damaged, and limits nothing.
std::uint64_t CZipArchive::DataRoom(const CFileHeader& entry, std::uint64_t dataOffset) {
    const std::uint64_t next = NextHeaderFrom(dataOffset);
    const std::uint64_t room = next - std::min(next, dataOffset);
    if (entry.IsStreamedUnknownSize()) return std::min(room, DescribedLength(dataOffset, next).value_or(room));
    if (entry.compressedSize >= room) return room;
    std::uint8_t bytes[4 + zip::kZip64DescriptorLength];
    storage.Seek(dataOffset + entry.compressedSize);
    const std::size_t got = storage.file.Read(bytes, sizeof bytes);
    // Right after the data: a record, or a descriptor without its signature
    // (32- or 64-bit sizes) and a record.
    for (std::size_t skipped : {std::size_t{0}, zip::kDescriptorLength - 4, zip::kZip64DescriptorLength - 4}) {
        if (skipped > 0 && !entry.HasDescriptorFlag()) break;
        if (got >= skipped + 4 && IsRecordSignature(zip::LoadU32(bytes + skipped))) return entry.compressedSize;
    }
    return room;
}

// The data length a data descriptor ending at `end` gives, when it is the
// distance from `dataOffset` to the descriptor (32- or 64-bit sizes, with or
// without its signature).
std::optional<std::uint64_t> CZipArchive::DescribedLength(std::uint64_t dataOffset, std::uint64_t end) {
    struct Form {
        std::size_t length;
        bool sizes64;
        bool signature;
    };
    constexpr Form kForms[] = {{zip::kDescriptorLength, false, true},
                               {zip::kDescriptorLength - 4, false, false},
                               {zip::kZip64DescriptorLength, true, true},
                               {zip::kZip64DescriptorLength - 4, true, false}};
    std::uint8_t bytes[zip::kZip64DescriptorLength];
    for (const Form& form : kForms) {
        if (end < dataOffset || end - dataOffset < form.length) continue;
        storage.Seek(end - form.length);
        if (storage.file.Read(bytes, form.length) < form.length) continue;
        if (form.signature && zip::LoadU32(bytes) != zip::kDescriptorSignature) continue;
        const zip::DataDescriptorRecord record =
            zip::DecodeDescriptorFields(bytes + (form.signature ? 4 : 0), form.sizes64);
        if (record.compressedSize == end - form.length - dataOffset) return record.compressedSize;
    }
    return std::nullopt;
}

// A wrong password passes one entry's traditional check byte once in 256
// times, and would then be written as garbage. The password is the same for
// the whole archive, so the check bytes of up to kVoters of its
// traditionally encrypted entries are read once: a right password passes all
// of them but those whose encryption header is damaged, a wrong one nearly
// none. When no more than half pass, the password is wrong for every entry.
// An entry cut short before its encrypted data has no check byte of its own
// (the bytes there are the next record's) and does not vote.
CZipArchive::PasswordVote CZipArchive::VoteOfOtherEntries(const std::string& password) {
    const std::size_t key = std::hash<std::string>{}(password);
    if (traditionalVote_ && traditionalVote_->first == key) return traditionalVote_->second;
    constexpr std::size_t kVoters = 32;
    std::size_t checked = 0;
    std::size_t passed = 0;
    for (const CFileHeader& other : centralDir.entries) {
        if (checked == kVoters) break;
        if (!PasswordOpens(other) || EncryptionSchemeOf(other) != EncryptionScheme::Traditional ||
            other.method == kMethodAes)
            continue;
        const std::uint64_t at = other.localHeaderOffset + zip::kLocalHeaderLength + other.fileNameLength +
                                 zip::TolerantExtraLength(other.extraFieldLength);
        if (DataRoom(other, at) < TraditionalDecryption::kHeaderSize) continue;
        std::uint8_t header[TraditionalDecryption::kHeaderSize];
        storage.Seek(at);
        if (storage.file.Read(header, sizeof header) < sizeof header) continue;
        ++checked;
        if (TraditionalDecryption(password, TraditionalDecryption::CheckByteOf(other)).Start(header)) ++passed;
    }
    const PasswordVote vote = checked < 2             ? PasswordVote::Undecided
                              : passed * 2 <= checked ? PasswordVote::Refuted
                                                      : PasswordVote::Confirmed;
    traditionalVote_ = std::make_pair(key, vote);
    return vote;
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

// Starts the decoder on the entry's data (after any encryption header);
// `storedLength` bytes of it for stored data.
// What the decompressor needs of the opened entry; an AES entry's method is
// the one inside its encryption.
StreamParameters CZipArchive::OpenedStream(const CFileHeader& entry) const {
    StreamParameters stream;
    stream.method = opened_.method;
    stream.flags = entry.flags;
    if (!entry.IsStreamedUnknownSize()) stream.uncompressedSize = entry.uncompressedSize;
    return stream;
}

void CZipArchive::BeginData(std::uint64_t storedLength) {
    decoder_->Begin(OpenedStream(*centralDir.OpenedEntry()), dataStart_, storedLength);
    decoder_->SetDecryption(decryption_.get());
}

// The end of what the entry's data took up in the archive, framing included.
std::uint64_t CZipArchive::ConsumedEnd() const {
    return dataStart_ + decoder_->consumed() + (decryption_ != nullptr ? decryption_->TrailerSize() : 0);
}

// The authentication code of an AES entry covers the encrypted data as
// written: a mismatch means the data is not what was encrypted (the CRC-32
// of AE-2 entries is 0, so for them this is the only check). The part of
// the data the decoder did not read is read here.
CZipArchive::Verdict CZipArchive::AuthenticationVerdict(const CFileHeader& entry, Verdict verdict) {
    if (aes_ == nullptr || decoder_->status() == EntryDecoder::Status::Truncated ||
        verdict.outcome == ExtractOutcome::Truncated)
        return verdict;
    const bool sizesKnown = !entry.IsStreamedUnknownSize();
    const std::uint64_t framing = (dataStart_ - opened_.dataOffset) + AesDecryption::kCodeSize;
    const std::uint64_t length =
        sizesKnown ? entry.compressedSize - std::min(entry.compressedSize, framing) : decoder_->consumed();
    // Data already judged damaged is not read a second time for the code:
    // a crafted archive of many entries claiming the same data would make
    // that a read of the archive per entry.
    if (verdict.outcome != ExtractOutcome::Ok && aes_->Authenticated() < length) return verdict;
    std::vector<std::uint8_t> chunk(std::size_t{64} << 10);
    storage.Seek(dataStart_ + aes_->Authenticated());
    while (aes_->Authenticated() < length) {
        const auto want =
            static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), length - aes_->Authenticated()));
        const std::size_t got = storage.file.Read(chunk.data(), want);
        aes_->Authenticate(chunk.data(), got);
        if (got < want) break;
    }
    std::uint8_t code[AesDecryption::kCodeSize];
    if (aes_->Authenticated() < length || storage.file.Read(code, sizeof code) < sizeof code)
        return verdict.outcome == ExtractOutcome::Ok
                   ? Verdict{ExtractOutcome::Truncated, "archive ends before the authentication code"}
                   : verdict;
    if (aes_->CodeMatches(code)) return verdict;
    if (verdict.outcome == ExtractOutcome::Ok) return {ExtractOutcome::Damaged, "authentication code mismatch"};
    verdict.detail += "; authentication code mismatch";
    return verdict;
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

std::string Hex(std::uint32_t value) {
    std::ostringstream text;
    text << std::hex << value;
    return text.str();
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

    const Verdict verdict = DecideVerdict(entry, output, result, endUnknown ? std::optional(limit) : std::nullopt);
    overlaps_.Record(index, verdict.outcome == ExtractOutcome::Ok, ConsumedEnd());
    const bool corrupt = decoder_->status() == EntryDecoder::Status::DataError && verdict.outcome != ExtractOutcome::Ok;
    dataError = 0;
    result.outcome = verdict.outcome;
    result.detail = verdict.detail;
    // Corrupt data keeps what was decompressed, without the entry's time.
    // The time goes on the open file, never through its path again.
    const std::time_t modified = centralDir.OpenedEntry()->GetModificationTime();
    if (!corrupt && modified != static_cast<std::time_t>(-1)) output.SetModificationTime(modified);
    AbandonEntry();
    output.Close();
    AddNotes(entry, result);
    return true;
}

// The one verdict on an extracted entry, from what was written (its length
// and CRC-32 in `report`, the file itself for a cut), the decoder's end and
// the errors it met, and the authentication code. Stored data whose end was
// never found (`storedLimit`: where it was written up to) is never whole.
CZipArchive::Verdict CZipArchive::DecideVerdict(const CFileHeader& entry, CFile& output, ExtractReport& report,
                                                std::optional<std::uint64_t> storedLimit) {
    if (storedLimit && decoder_->status() != EntryDecoder::Status::Limited)
        return {ExtractOutcome::Truncated,
                *storedLimit < storage.Length()
                    ? "end of the stored data not found; written up to the next record"
                    : "end of the stored data not found; written up to the end of the archive"};
    const Verdict verdict = AuthenticationVerdict(entry, JudgeOutput(entry, report));
    if (verdict.outcome != ExtractOutcome::Ok && aes_ == nullptr && TrimToDeclaredSize(entry, output, report))
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
        const bool whole = AuthenticationVerdict(entry, JudgeOutput(entry, report)).outcome == ExtractOutcome::Ok;
        overlaps_.Record(index, whole, ConsumedEnd());
    } catch (...) {
        overlaps_.Record(index, false, 0);
    }
    if (entryState != 0) AbandonEntry();
    dataError = 0;
}

// The next local header the scan found at or after the entry's data, or the
// end of the file.
std::uint64_t CZipArchive::StoredStreamLimit(const CFileHeader& entry) { return NextHeaderFrom(entry.DataOffset()); }

// The first local header the scan found at or after `offset`, or the end of
// the file.
std::uint64_t CZipArchive::NextHeaderFrom(std::uint64_t offset) {
    if (headerOffsets_.empty()) {
        headerOffsets_.reserve(centralDir.entries.size());
        for (const CFileHeader& other : centralDir.entries) headerOffsets_.push_back(other.localHeaderOffset);
        std::sort(headerOffsets_.begin(), headerOffsets_.end());
    }
    auto next = std::lower_bound(headerOffsets_.begin(), headerOffsets_.end(), offset);
    return next != headerOffsets_.end() ? std::min(*next, storage.Length()) : storage.Length();
}

CZipArchive::Verdict CZipArchive::JudgeOutput(const CFileHeader& entry, const ExtractReport& report) {
    switch (decoder_->status()) {
        case EntryDecoder::Status::DataError:
            if (!decoder_->problem().empty()) return {ExtractOutcome::Damaged, decoder_->problem()};
            return {ExtractOutcome::Damaged,
                    "corrupt compressed data after " + std::to_string(report.bytesWritten) + " bytes"};
        case EntryDecoder::Status::Truncated: return {ExtractOutcome::Truncated, "archive ends inside the data"};
        case EntryDecoder::Status::Limited: return {ExtractOutcome::Limited, decoder_->problem()};
        default: return FinishedVerdict(entry, report.crc32);
    }
}

// A damaged end-of-stream mark lets a compressed stream run on into whatever
// follows it. When the output is at least the declared size and exactly the
// declared size's bytes carry the declared CRC-32, those bytes are the
// entry: the rest is cut. (A declared size that is merely too small never
// matches the CRC-32 of the whole content, so it never cuts real data.)
// A declared size of 0 proves nothing (the CRC-32 of no bytes is 0, whatever
// the stream held): a stream the decompressor refused at its start, or one
// that ran into corrupt data at once, is never cut to an "ok" empty file.
bool CZipArchive::TrimToDeclaredSize(const CFileHeader& entry, CFile& output, ExtractReport& report) {
    if (entry.IsStreamedUnknownSize() || entry.uncompressedSize == 0 || report.bytesWritten < entry.uncompressedSize)
        return false;
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
        if (n < bufferSize || decoder_->status() != EntryDecoder::Status::Reading) return decoder_->crc();
    }
}

// Large entries are decompressed on this thread while another one writes
// the previous block and keeps the CRC-32, so the two costs overlap.
std::uint32_t CZipArchive::WriteEntryDataInBackground(CFile& output, std::size_t bufferSize, ExtractReport& report,
                                                      const ScanState& state) {
    BackgroundWriter writer(output, std::max(bufferSize, kBackgroundBlockSize));
    for (;;) {
        const std::size_t n = decoder_->Read(writer.Block(), writer.blockSize(), false);
        writer.Commit(n);
        state.Checkpoint();
        if (n < writer.blockSize() || decoder_->status() != EntryDecoder::Status::Reading) break;
    }
    writer.Finish();
    if (decoder_->status() == EntryDecoder::Status::DataError) dataError = 1;
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
    const bool compressed = opened_.method != zip::kMethodStored;
    if (compressed && entry.HasDescriptorFlag()) descriptor = decoder_->ReadTrailingDescriptor(opened_.zip64);

    const bool sizesKnown = !entry.IsStreamedUnknownSize();
    const std::uint64_t packed = ConsumedEnd() - opened_.dataOffset;  // with any encryption framing
    if (sizesKnown && compressed && entry.compressedSize != packed)
        return {ExtractOutcome::Damaged, "compressed size " + std::to_string(entry.compressedSize) +
                                             " declared, stream holds " + std::to_string(packed)};
    if (sizesKnown && entry.uncompressedSize != decoder_->produced())
        return {ExtractOutcome::Damaged, "size " + std::to_string(entry.uncompressedSize) + " declared, data holds " +
                                             std::to_string(decoder_->produced())};
    // Without sizes or a descriptor, a CRC-32 of 0 is the one a streaming
    // writer leaves before it knows the value: nobody wrote it, and nothing
    // is checked against it. Another one (a header or central record that
    // has it) is checked.
    if (!sizesKnown && !descriptor && entry.crc32 == 0)
        return {ExtractOutcome::Damaged, "no data descriptor: CRC-32 cannot be checked"};

    const std::uint32_t expected = (!sizesKnown && descriptor) ? descriptor->crc32 : entry.crc32;
    if (aes_ != nullptr && !aes_->ChecksCrc()) return {ExtractOutcome::Ok, {}};
    if (crc != expected)
        return {ExtractOutcome::Damaged, "CRC-32 mismatch (expected " + Hex(expected) + ", got " + Hex(crc) + ")"};
    return {ExtractOutcome::Ok, {}};
}

}  // namespace tessaly
