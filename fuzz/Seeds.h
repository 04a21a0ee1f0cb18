// The fuzz targets' seed inputs, built by the test archive writer each time
// (no binary files are kept): small archives healthy and damaged in the ways
// salvage meets, every compression method and encryption the build reads,
// hostile layouts; Deflate64 streams of every block kind; Deflate data
// healthy, damaged and cut for the ISA-L inflater; stored names that
// leave, clash, run long or are not UTF-8.
#pragma once

#include <string>
#include <vector>

#include "tests/support/ZipWriter.h"

namespace tessaly::fuzz {

struct Seed {
    std::string name;  // file name in the corpus folder
    testzip::Bytes bytes;
};

std::vector<Seed> ArchiveSeeds();
// Each with the two bytes in front that choose the decoding pieces.
std::vector<Seed> Deflate64Seeds();
#if TESSALY_WITH_ISAL
// Raw Deflate data after the inflate target's prefix, each with the two
// bytes in front that choose the decoding pieces.
std::vector<Seed> InflateSeeds();
#endif
// Each with the rules byte in front, names separated by NUL bytes.
std::vector<Seed> NameSeeds();

}  // namespace tessaly::fuzz
