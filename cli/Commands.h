// The three commands. Each goes through the archives in the order given,
// prints through the writer as it goes, and returns the exit status: the
// worst of its archives (0 all ok, 1 some entry not ok, 2 an archive that
// could not be read or extracted into at all).
#pragma once

#include "archive/crypto/PasswordSource.h"
#include "cli/CommandLine.h"
#include "cli/Progress.h"
#include "cli/ResultWriter.h"

namespace tessaly::cli {

// With `passwords`, encrypted entries a password opens are decrypted
// (extract) or shown as saving will treat them (list); the source is asked
// once per archive, before any entry is written.
int RunList(const CliOptions& options, ResultWriter& writer, ProgressLine& progress,
            PasswordSource* passwords = nullptr);
int RunExtract(const CliOptions& options, ResultWriter& writer, ProgressLine& progress,
               PasswordSource* passwords = nullptr);
// Counts one extracted (or repaired) entry in the archive's summary and
// prints its line, the progress line kept out of its way.
void CountAndPrint(const ExtractedEntry& entry, ArchiveSummary& summary, ResultWriter& writer, ProgressLine& progress);

// Repairs the one archive into `options.output`; 2 also when no repaired
// archive could be written.
int RunRepair(const CliOptions& options, ResultWriter& writer, ProgressLine& progress,
              PasswordSource* passwords = nullptr);

}  // namespace tessaly::cli
