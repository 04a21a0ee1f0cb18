// The salvage corpus: the damage the archive suites build (truncations,
// zeroed and flipped bytes, garbled central records, a stub in front,
// streamed entries with lost ends, a text-mode transfer, encryption, every
// compression method this build reads), each archive with the entries that
// damage leaves intact. Content sizes scale with a unit, so that suites
// reading a byte at a time can use a small corpus.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "tests/support/ZipWriter.h"

namespace tessaly::archivetest {

// The password of the corpus's encrypted entries.
constexpr char kCorpusPassword[] = "odd sizes";

// One archive of the corpus, and the entries that must come out intact
// from it at the default sizes (the damage leaves them alone).
struct CorpusArchive {
    std::string label;
    testzip::Bytes bytes;
    std::vector<testzip::EntryToWrite> intact;
};

// The corpus with every content size a multiple of `unit` bytes (1000 gives
// the sizes the damage suite uses).
std::vector<CorpusArchive> BuildDamageCorpus(std::size_t unit);

}  // namespace tessaly::archivetest
