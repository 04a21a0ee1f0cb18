#include "archive/CentralDir.h"

#include "archive/CompressionMethods.h"
#include "archive/ScanState.h"
#include "archive/ZipException.h"
#include "archive/ZipRecords.h"
#include "archive/ZipStorage.h"
#include "archive/scan/SalvageScan.h"

namespace tessaly {

void CCentralDir::Init() {
    openedEntry = nullptr;
    comment.clear();
    cutRecordOffset.reset();
}

void CCentralDir::Read(RepairMode repairMode, const ScanState& state) {
    SalvageScan scan(*storage, state, entries);
    switch (repairMode) {
        case QuickRepair: scan.RunQuick(); break;
        case AdvanceRepair: scan.RunAdvance(); break;
        default: break;
    }
    cutRecordOffset = scan.CutHeaderOffset();
}

void CCentralDir::Clear() {
    entries.clear();
    entries.shrink_to_fit();
    openedEntry = nullptr;
    comment.clear();
    cutRecordOffset.reset();
}

OpenedEntryInfo CCentralDir::OpenEntry(std::uint32_t index) {
    const CFileHeader& entry = entries[index];
    openedEntry = &entry;
    if (!IsReadableMethod(entry.method) && entry.method != kMethodAes)
        ThrowArchiveError(badArchive, storage->Path(), entry.localHeaderOffset, UnsupportedMethodText(entry.method));

    std::uint8_t bytes[zip::kLocalHeaderLength];
    storage->Seek(entry.localHeaderOffset);
    storage->Read(bytes, sizeof bytes, true);
    const zip::LocalHeaderRecord record = zip::DecodeLocalHeader(bytes);
    const std::uint16_t extraLength = zip::TolerantExtraLength(record.extraLength);

    const std::uint64_t extraOffset = entry.localHeaderOffset + zip::kLocalHeaderLength + entry.fileNameLength;
    localExtra.Allocate(extraLength);
    if (extraLength > 0) {
        storage->Seek(extraOffset);
        storage->Read(localExtra.GetBuffer(), extraLength, true);
    }
    OpenedEntryInfo info;
    info.dataOffset = extraOffset + extraLength;
    info.zip64 = zip::HasZip64Extra(localExtra.GetBuffer(), localExtra.GetSize());
    info.method = entry.method;
    if (entry.method == kMethodAes) ReadAesField(entry, info);
    return info;
}

// An AES entry's method field says only that it is AES-encrypted: the
// strength and the real method are in its AES extra field. Where damage
// made the local field unreadable, the central record's stands in for it
// (without a version it is taken for AE-2: the authentication code decides).
void CCentralDir::ReadAesField(const CFileHeader& entry, OpenedEntryInfo& info) {
    info.aes = FindAesExtraField(localExtra.GetBuffer(), localExtra.GetSize());
    if (!info.aes && entry.centralAesStrength != 0) info.aes = AesExtraField{2, entry.centralAesStrength, 0};
    if (info.aes && (info.aes->strength < 1 || info.aes->strength > 3)) info.aes->strength = entry.centralAesStrength;
    if (info.aes && !IsReadableMethod(info.aes->method) && entry.centralAesStrength != 0)
        info.aes->method = entry.centralAesMethod;
    if (!info.aes || info.aes->strength < 1 || info.aes->strength > 3)
        ThrowArchiveError(badArchive, storage->Path(), entry.localHeaderOffset,
                          "WinZip AES encryption without a readable AES extra field");
    info.method = info.aes->method;
    if (!IsReadableMethod(info.method))
        ThrowArchiveError(badArchive, storage->Path(), entry.localHeaderOffset, UnsupportedMethodText(info.method));
}

void CCentralDir::CloseEntry() {
    localExtra.Release();
    openedEntry = nullptr;
}

}  // namespace tessaly
