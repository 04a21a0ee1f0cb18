// The archive object: open an archive (running the salvage scan), hand out
// entry copies, extract entries tolerantly, close. Extraction keeps whatever
// can be read and decompressed: corrupt data ends an entry early, a truncated
// archive yields the bytes that are there.
//
// Not thread-safe: one thread uses an archive object at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "archive/CentralDir.h"
#include "archive/EntryPositions.h"
#include "archive/EntryVerdict.h"
#include "archive/ExpansionLimits.h"
#include "archive/ExtractReport.h"
#include "archive/FileHeader.h"
#include "archive/OverlapGuard.h"
#include "archive/RepairMode.h"
#include "archive/ScanState.h"
#include "archive/ZipRecords.h"
#include "archive/ZipStorage.h"
#include "archive/crypto/PasswordVote.h"
#include "archive/methods/Decompressor.h"
#include "archive/resync/TailRecovery.h"

namespace tessaly {

class EntryDecoder;
class EntrySink;
class EntryDecryption;
class AesDecryption;
class PasswordSource;

class CZipArchive {
public:
    CZipArchive();
    CZipArchive(const CZipArchive&) = delete;
    CZipArchive& operator=(const CZipArchive&) = delete;
    virtual ~CZipArchive();

    // Opens the archive for reading and builds the entry table. An archive
    // that cannot be opened leaves the table empty. Raises CZipException or
    // CFileException for faults the scan cannot step over (the table keeps
    // what was found before them); a truncated archive is not such a fault.
    // The repair mode picks the scan's strategy; `state` gets its progress.
    void OpenArchive(const std::filesystem::path& path, RepairMode repairMode, const ScanState& state = {},
                     int mode = 0, int volumeSize = 1);
    // Opens the file `scanned` has open and takes a copy of its entry table
    // instead of scanning again, so that one archive can be extracted by
    // several archive objects at once. False when the file cannot be opened.
    bool OpenCopyOf(const CZipArchive& scanned);
    void CloseArchive(bool afterError = true);
    bool IsOpen() const { return storage.IsOpen(); }

    std::uint32_t GetCount() const { return centralDir.Count(); }
    // Where the archive ends inside a record (a header cut by the end of the
    // file), when the scan met one: the data from there on is lost.
    std::optional<std::uint64_t> CutRecordOffset() const { return centralDir.cutRecordOffset; }
    // Deep copy of the entry, with every `/` in its name turned into `\`.
    bool GetEntryInfo(CFileHeader& header, std::uint32_t index) const;

    // Extracts one entry into the file (or folder) `sink` gives it, in
    // blocks of `bufferSize` bytes, calling `state`'s checkpoint between
    // blocks. False for a zero buffer size, a bad index or an output the
    // sink cannot make; true when the entry was written (whole or in part)
    // or skipped. `report`, when given, says which. Raises on archive and
    // file-system faults.
    bool ExtractEntry(std::uint32_t index, EntrySink& sink, std::size_t bufferSize, ExtractReport* report = nullptr,
                      const ScanState& state = {});

    // What the entry's local header holds beyond the table, read again for
    // a writer of another archive: where its data starts and its extra
    // field. Nothing when the header cannot be read.
    struct LocalRecord {
        std::uint64_t dataOffset = 0;
        std::vector<std::uint8_t> extra;
        std::optional<AesExtraField> aes;  // an AES entry's field, as extraction reads it
    };
    std::optional<LocalRecord> ReadLocalRecord(std::uint32_t index);
    // The entry's stored data when its records declare its length and it
    // ends exactly where a record (or the file) begins, nothing the scan
    // found lying inside it: those bytes are the entry's, whether or not
    // they can be read here. Nothing when that is not certain.
    std::optional<StoredExtent> DeclaredExtent(std::uint32_t index);

    // Where ExtractEntry gets the password for encrypted entries; without a
    // source (nullptr, the default) they are left out, nothing written. The
    // source must outlive the archive object's extractions.
    void SetPasswordSource(PasswordSource* source) {
        passwordSource_ = source;
        overlaps_.SetPasswordsAsked(source != nullptr);
    }

    // Whether a Deflate entry broken in its middle is searched past the
    // damage for data that can be read again (resync/TailRecovery.h); off
    // until set. What is found is written at its offset in the entry's file.
    void SetResync(bool resync) { resync_ = resync; }

    // How far each entry may expand (ExpansionLimits.h); the defaults until
    // set. Extracting, and reading an entry through OpenEntry, keep to them.
    void SetExpansionLimits(const ExpansionLimits& limits);

    // The entry-reading sequence ExtractEntry is made of. An encrypted entry
    // asks the password source; when it cannot be decrypted OpenEntry gives
    // false and LockedOutReason says why ("wrong password (...)", ...).
    bool OpenEntry(std::uint32_t index);
    const std::string& LockedOutReason() const { return lockedOut_.detail; }
    std::size_t ReadEntryData(void* buffer, std::size_t size);
    bool CloseEntry(const std::filesystem::path& outputPath = {});

    int dataError = 0;
    std::uint8_t convertSlashes = 1;
    CZipStorage storage;
    CCentralDir centralDir;
    signed char entryState = 0;

private:
    void AbandonEntry();
    // Encryption: the decryption set up for the opened entry, or why it
    // cannot be (nothing is then read).
    std::optional<EntryVerdict> StartDecryption(const CFileHeader& entry);
    std::optional<EntryVerdict> CutBeforeEncryptedData(const CFileHeader& entry);
    std::unique_ptr<EntryDecryption> MakeDecryption(const CFileHeader& entry, const std::string& password);
    StreamParameters OpenedStream(const CFileHeader& entry) const;
    void BeginData(std::uint64_t length);
    // The verdict on the opened entry's output.
    EntryJudge Judge(const CFileHeader& entry) const;
    EntryVerdict AuthenticationVerdict(const CFileHeader& entry, EntryVerdict verdict);
    EntryVerdict DecideVerdict(const CFileHeader& entry, CFile& output, ExtractReport& report,
                               std::optional<std::uint64_t> storedLimit);
    bool ExtractData(std::uint32_t index, const CFileHeader& entry, EntrySink& sink, std::size_t bufferSize,
                     ExtractReport& result, const ScanState& state);
    bool WriteWithoutData(const CFileHeader& entry, EntrySink& sink, ExtractReport& report);
    void RecoverPastDamage(const CFileHeader& entry, CFile& output, ExtractReport& report, const ScanState& state);
    CompressedExtent ExtentOf(const CFileHeader& entry);
    void ProbeEntry(std::uint32_t index);
    std::uint64_t StoredStreamLimit(const CFileHeader& entry);
    // Both return the CRC-32 of what they wrote.
    std::uint32_t WriteEntryData(CFile& output, std::size_t bufferSize, ExtractReport& report, const ScanState& state);
    std::uint32_t WriteEntryDataInBackground(CFile& output, std::size_t bufferSize, ExtractReport& report,
                                             const ScanState& state);
    static bool IsLarge(const CFileHeader& entry);

    std::unique_ptr<EntryDecoder> decoder_;
    OpenedEntryInfo opened_;
    OverlapGuard overlaps_;
    EntryPositions layout_{storage, centralDir.entries};
    PasswordVote vote_{storage, centralDir.entries, layout_};
    std::vector<std::uint8_t> outputBuffer_;

    PasswordSource* passwordSource_ = nullptr;
    bool resync_ = false;
    std::unique_ptr<EntryDecryption> decryption_;     // the opened entry's, when it is encrypted
    AesDecryption* aes_ = nullptr;                    // decryption_, when it is AES
    std::uint64_t dataStart_ = 0;                     // first byte of the (encrypted) data, after any framing
    EntryVerdict lockedOut_{ExtractOutcome::Ok, {}};  // why the last OpenEntry could not decrypt
};

}  // namespace tessaly
