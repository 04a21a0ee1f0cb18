#include "cli/ArchiveReader.h"

#include <cstring>

#include "archive/ZipException.h"
#include "archive/salvage/FaultText.h"
#include "cli/Interruption.h"
#include "platform/File.h"
#include "platform/FileException.h"
#include "platform/FileSystem.h"

namespace tessaly::cli {
namespace {

// An archive with no entries at all is nothing but its end record.
bool StartsWithEndRecord(const std::filesystem::path& path) {
    CFile file;
    if (!file.Open(path, CFile::Mode::Read)) return false;
    unsigned char head[4] = {0, 0, 0, 0};
    try {
        if (file.Read(head, sizeof head) != sizeof head) return false;
    } catch (const CFileException&) {
        return false;
    }
    return std::memcmp(head, "PK\x05\x06", 4) == 0;
}

// Why the file cannot be opened for reading at all, or empty when it can.
// Only a regular file is opened: a pipe or a device could block the tool or
// feed it endless data.
std::string OpenProblem(const std::filesystem::path& path) {
    const FileKind kind = KindOfFile(path);
    if (kind == FileKind::Folder) return "is a folder, not an archive";
    if (kind != FileKind::Regular && kind != FileKind::Missing)
        return std::string("is ") + FileKindText(kind) + ", not a regular file: only a regular file can be salvaged";
    CFile file;
    if (!file.Open(path, CFile::Mode::Read)) return "cannot open: " + OsErrorText(file.LastError());
    return {};
}

}  // namespace

ArchiveReader::ArchiveReader(RepairMode repairMode, ProgressLine& progress)
    : progress_(progress), repairMode_(repairMode) {
    archive_.convertSlashes = 0;
}

bool ArchiveReader::Open(const std::filesystem::path& path, ArchiveSummary& summary) {
    summary.problem = OpenProblem(path);
    if (!summary.problem.empty()) {
        summary.readable = false;
        return false;
    }
    if (!Scan(path, summary)) return false;
    summary.entries = archive_.GetCount();
    summary.cutRecordOffset = archive_.CutRecordOffset();
    if (summary.entries == 0) JudgeEmptyResult(path, summary);
    return summary.entries > 0;
}

bool ArchiveReader::Scan(const std::filesystem::path& path, ArchiveSummary& summary) {
    const std::string name = summary.archive;
    ScanState state;
    state.progress = [this, name](std::uint64_t position, std::uint64_t total, std::uint64_t) {
        StopIfInterrupted();
        progress_.Scanning(name, position, total);
    };
    try {
        archive_.OpenArchive(path, repairMode_, state);
    } catch (const Interruption&) {
        progress_.Clear();
        summary.stopped = true;
        return false;
    } catch (const CZipException& fault) {
        summary.problem = "scan stopped: " + FaultText(fault);
    } catch (const CFileException& fault) {
        summary.problem = "scan stopped: " + FaultText(fault);
    } catch (const std::exception& fault) {
        summary.problem = std::string("scan stopped: ") + fault.what();
    }
    progress_.Clear();
    if (!archive_.IsOpen() && summary.problem.empty()) {
        summary.problem = "cannot open: " + OsErrorText(archive_.storage.file.LastError());
        summary.readable = false;
        return false;
    }
    return true;
}

void ArchiveReader::JudgeEmptyResult(const std::filesystem::path& path, ArchiveSummary& summary) {
    if (!summary.problem.empty()) {
        summary.readable = false;
    } else if (!StartsWithEndRecord(path)) {
        summary.readable = false;
        summary.problem = "no entries found: not a ZIP archive, or too damaged to salvage";
    }
}

CFileHeader ArchiveReader::Entry(std::uint32_t index) const {
    CFileHeader header;
    archive_.GetEntryInfo(header, index);
    return header;
}

}  // namespace tessaly::cli
