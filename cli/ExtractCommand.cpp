// `extract`: every entry through the archive layer's ExtractEntry, one result
// line per entry. A fault in one entry costs only that entry.
#include <algorithm>

#include "archive/ZipException.h"
#include "cli/ArchiveReader.h"
#include "cli/Commands.h"
#include "cli/ErrorText.h"
#include "cli/OutputFolders.h"
#include "platform/FileException.h"
#include "platform/FileSystem.h"

namespace tessaly::cli {
namespace {

// Output is written in blocks of this size; large blocks keep the number of
// write calls low on big entries.
constexpr std::size_t kExtractBufferSize = 256 * 1024;

void TakeReport(ExtractedEntry& entry, const ExtractReport& report) {
    entry.outcome = report.outcome;
    entry.detail = report.detail;
    entry.bytesWritten = report.bytesWritten;
    entry.outputPath = PathToUtf8(report.outputPath);
}

// A fault raised while extracting: whatever was written stays, the entry
// counts as failed and the reason names what went wrong.
void TakeFault(ExtractedEntry& entry, const ExtractReport& report, const std::string& reason) {
    TakeReport(entry, report);
    entry.outcome = ExtractOutcome::Failed;
    entry.detail = reason;
}

ExtractedEntry ExtractOne(ArchiveReader& reader, std::uint32_t index,
                          const std::filesystem::path& folder) {
    ExtractedEntry entry;
    entry.index = index;
    entry.name = reader.Entry(index).fileName;
    ExtractReport report;
    try {
        const bool done = reader.Archive().ExtractEntry(index, folder, kExtractBufferSize, &report);
        TakeReport(entry, report);
        if (!done) {
            entry.outcome = ExtractOutcome::Failed;
            if (entry.detail.empty()) entry.detail = "could not be extracted";
        }
    } catch (const CZipException& fault) {
        TakeFault(entry, report, FaultText(fault));
    } catch (const CFileException& fault) {
        TakeFault(entry, report, FaultText(fault));
    } catch (const std::exception& fault) {
        TakeFault(entry, report, fault.what());
    }
    return entry;
}

void ExtractEntries(ArchiveReader& reader, const std::filesystem::path& folder,
                    ArchiveSummary& summary, ResultWriter& writer, ProgressLine& progress) {
    for (std::uint32_t i = 0; i < summary.entries; ++i) {
        progress.Extracting(summary.archive, i, summary.entries);
        const ExtractedEntry entry = ExtractOne(reader, i, folder);
        ++summary.outcomes[static_cast<std::size_t>(entry.outcome)];
        progress.Clear();
        writer.Extracted(entry);
    }
}

ArchiveSummary ExtractArchive(const std::filesystem::path& path, const std::filesystem::path& folder,
                              int repairMode, ResultWriter& writer, ProgressLine& progress) {
    ArchiveSummary summary;
    summary.archive = PathToUtf8(path);
    summary.destination = PathToUtf8(folder);
    writer.BeginArchive(summary);
    ArchiveReader reader(repairMode, progress);
    if (reader.Open(path, summary)) {
        if (CreateFolderTree(folder)) {
            ExtractEntries(reader, folder, summary, writer, progress);
        } else {
            summary.readable = false;
            summary.problem = "cannot create the destination folder " + summary.destination;
        }
    }
    writer.EndArchive(summary);
    return summary;
}

}  // namespace

int RunExtract(const CliOptions& options, ResultWriter& writer, ProgressLine& progress) {
    const auto folders = OutputFolders(options.destination, options.archives);
    int status = 0;
    for (std::size_t i = 0; i < options.archives.size(); ++i) {
        const ArchiveSummary summary =
            ExtractArchive(options.archives[i], folders[i], options.repairMode, writer, progress);
        status = std::max(status, ExitStatusOf(summary));
    }
    writer.EndRun(status);
    return status;
}

}  // namespace tessaly::cli
