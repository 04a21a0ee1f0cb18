// Writes the healthy archive scripts/bench.sh extracts with every tool:
// thousands of entries of mixed sizes in nested folders, mostly deflated
// text, some deflated and some stored incompressible data.
//
// Usage: tessaly-bench-archive OUT.zip [ENTRIES] [UNCOMPRESSED_MIB]
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/TempFolder.h"
#include "tests/support/ZipWriter.h"

using namespace tessaly::testzip;

namespace {

// Relative sizes with a long tail: many small files, a few large ones.
std::vector<std::size_t> EntrySizes(std::size_t entries, std::size_t totalBytes) {
    std::vector<double> weights(entries);
    double sum = 0;
    for (std::size_t i = 0; i < entries; ++i) {
        const double r = static_cast<double>((i * 2654435761u) % 1000) / 1000.0;
        weights[i] = 0.05 + r * r * r * r;
        sum += weights[i];
    }
    std::vector<std::size_t> sizes(entries);
    for (std::size_t i = 0; i < entries; ++i)
        sizes[i] = static_cast<std::size_t>(weights[i] / sum * static_cast<double>(totalBytes));
    return sizes;
}

EntryToWrite MakeEntry(std::size_t i, std::size_t size) {
    const std::string name = "tree" + std::to_string(i % 7) + "/dir" + std::to_string(i % 53) + "/file" +
                             std::to_string(i) + (i % 10 < 7 ? ".txt" : ".bin");
    if (i % 10 < 7) return Deflated(name, TextContent(name, size));
    if (i % 10 < 9) {
        EntryToWrite input = Deflated(name, NoiseContent(static_cast<std::uint32_t>(i), size));
        input.level = 1;
        return input;
    }
    return Stored(name, NoiseContent(static_cast<std::uint32_t>(i), size));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: tessaly-bench-archive OUT.zip [ENTRIES] [UNCOMPRESSED_MIB]\n");
        return 2;
    }
    const std::size_t entries = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 4000;
    const std::size_t mib = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 500;
    const auto sizes = EntrySizes(entries, mib << 20);
    std::vector<EntryToWrite> inputs;
    inputs.reserve(entries);
    for (std::size_t i = 0; i < entries; ++i) inputs.push_back(MakeEntry(i, sizes[i]));
    const BuiltZip zip = BuildZip(inputs);
    WriteFileBytes(argv[1], zip.bytes);
    std::printf("%s: %zu entries, %zu MiB uncompressed, %zu MiB archive\n", argv[1], entries, mib,
                zip.bytes.size() >> 20);
    return 0;
}
