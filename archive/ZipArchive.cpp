#include "archive/ZipArchive.h"

#include <algorithm>

#include "archive/EntryDecoder.h"
#include "archive/ScanState.h"
#include "platform/FileSystem.h"

namespace tessaly {

CZipArchive::CZipArchive(ScanState& state)
    : storage(state), centralDir(storage, state), state_(state), decoder_(std::make_unique<EntryDecoder>(storage)) {}

CZipArchive::~CZipArchive() = default;

void CZipArchive::OpenArchive(const std::filesystem::path& path, int mode, int volumeSize) {
    entryState = 0;
    if (!storage.Open(path, mode, volumeSize)) return;
    centralDir.Init();
    if (mode == 0 || mode == 1) centralDir.Read();
}

bool CZipArchive::OpenCopyOf(const CZipArchive& scanned) {
    entryState = 0;
    if (!scanned.IsOpen() || !storage.Open(scanned.storage.Path(), 0, 1)) return false;
    centralDir.Init();
    centralDir.entries = scanned.centralDir.entries;
    state_.descriptorSeen = scanned.state_.descriptorSeen.load();
    state_.entriesFound = static_cast<int>(centralDir.entries.size());
    return true;
}

void CZipArchive::CloseArchive(bool afterError) {
    if (entryState != 0) AbandonEntry();
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

}  // namespace tessaly
