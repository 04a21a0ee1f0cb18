// tessaly-fuzz-seeds FOLDER: writes the fuzz targets' seed corpora into
// FOLDER/archive, FOLDER/deflate64, FOLDER/inflate (in a build with ISA-L)
// and FOLDER/names.
#include <cstdio>
#include <exception>
#include <filesystem>

#include "fuzz/Seeds.h"
#include "tests/support/TempFolder.h"

namespace {

void WriteCorpus(const std::filesystem::path& folder, const std::vector<tessaly::fuzz::Seed>& seeds) {
    std::filesystem::create_directories(folder);
    for (const tessaly::fuzz::Seed& seed : seeds) tessaly::testzip::WriteFileBytes(folder / seed.name, seed.bytes);
    std::printf("%zu seeds in %s\n", seeds.size(), folder.string().c_str());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tessaly-fuzz-seeds FOLDER\n");
        return 2;
    }
    try {
        const std::filesystem::path root = argv[1];
        WriteCorpus(root / "archive", tessaly::fuzz::ArchiveSeeds());
        WriteCorpus(root / "deflate64", tessaly::fuzz::Deflate64Seeds());
#if TESSALY_WITH_ISAL
        WriteCorpus(root / "inflate", tessaly::fuzz::InflateSeeds());
#endif
        WriteCorpus(root / "names", tessaly::fuzz::NameSeeds());
    } catch (const std::exception& fault) {
        std::fprintf(stderr, "tessaly-fuzz-seeds: %s\n", fault.what());
        return 1;
    }
    return 0;
}
