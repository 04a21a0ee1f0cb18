// `list`: every entry the scan finds, with the preview's columns, whether
// saving would skip it (by the same rule extract follows) and whether its
// data cannot be read at all.
#include <algorithm>

#include "archive/CompressionMethods.h"
#include "archive/SkipRules.h"
#include "cli/ArchiveReader.h"
#include "cli/Commands.h"
#include "platform/FileSystem.h"
#include "platform/Interrupt.h"
#include "workflow/EntryFormat.h"

namespace tessaly::cli {
namespace {

ListedEntry DescribeEntry(const CFileHeader& header, std::uint32_t index, bool passwordsAsked) {
    const EntryRow row = FormatEntryRow(header);
    ListedEntry entry;
    entry.index = index;
    entry.name = header.fileName;
    entry.size = header.uncompressedSize;
    entry.packedSize = header.compressedSize;
    entry.sizeText = row.size;
    entry.packedSizeText = row.packedSize;
    entry.ratio = row.ratio;
    entry.modifiedTime = row.modifiedTime;
    entry.crc32 = header.crc32;
    entry.method = header.method;
    entry.encrypted = header.IsEncrypted();
    entry.carriesData = CarriesData(header);
    if (auto skip = ExtractSkipVerdict(header, passwordsAsked)) entry.skipReason = skip->reason;
    entry.unreadable = UnreadableReason(header, passwordsAsked);
    return entry;
}

ArchiveSummary ListArchive(const std::filesystem::path& path, RepairMode repairMode, ResultWriter& writer,
                           ProgressLine& progress, bool passwordsAsked) {
    ArchiveSummary summary;
    summary.archive = PathToUtf8(path);
    writer.BeginArchive(summary);
    ArchiveReader reader(repairMode, progress);
    if (reader.Open(path, summary)) {
        for (std::uint32_t i = 0; i < summary.entries; ++i) {
            if (InterruptSignal() != 0) {
                summary.stopped = true;
                break;
            }
            const ListedEntry entry = DescribeEntry(reader.Entry(i), i, passwordsAsked);
            const bool skipped = !entry.skipReason.empty();
            summary.wouldSkip += skipped ? 1 : 0;
            summary.skippedWithData += skipped && entry.carriesData ? 1 : 0;
            summary.unreadable += entry.unreadable.empty() ? 0 : 1;
            ++summary.handled;
            writer.Listed(entry);
        }
    }
    writer.EndArchive(summary);
    return summary;
}

}  // namespace

int RunList(const CliOptions& options, ResultWriter& writer, ProgressLine& progress, PasswordSource* passwords) {
    int status = 0;
    for (const auto& archive : options.archives) {
        if (InterruptSignal() != 0) break;
        const ArchiveSummary summary = ListArchive(archive, options.repairMode, writer, progress, passwords != nullptr);
        status = std::max(status, ExitStatusOf(summary));
    }
    if (InterruptSignal() != 0) status = InterruptExitStatus(InterruptSignal());
    writer.EndRun(status);
    return status;
}

}  // namespace tessaly::cli
