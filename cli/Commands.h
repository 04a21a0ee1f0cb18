// The two commands. Each goes through the archives in the order given,
// prints through the writer as it goes, and returns the exit status: the
// worst of its archives (0 all ok, 1 some entry not ok, 2 an archive that
// could not be read or extracted into at all).
#pragma once

#include "cli/CommandLine.h"
#include "cli/Progress.h"
#include "cli/ResultWriter.h"

namespace tessaly::cli {

int RunList(const CliOptions& options, ResultWriter& writer, ProgressLine& progress);
int RunExtract(const CliOptions& options, ResultWriter& writer, ProgressLine& progress);

}  // namespace tessaly::cli
