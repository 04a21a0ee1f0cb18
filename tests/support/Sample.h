// The damaged sample archive the main job salvages: a handful of text files,
// some stored and some deflated, behind a stub of junk; one entry's data is
// corrupted, the file ends inside the last entry's data and the central
// directory is lost. The same bytes on every run.
#pragma once

#include <string>
#include <vector>

#include "tests/support/ZipWriter.h"

namespace tessaly::testzip {

Bytes SampleArchive();

// In archive order. The fifth is the corrupted one, the last the cut one.
std::vector<std::string> SampleEntryNames();

}  // namespace tessaly::testzip
