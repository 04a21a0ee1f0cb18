// Writes the healthy archive scripts/bench.sh extracts with every tool:
// thousands of entries of mixed sizes in nested folders, mostly deflated
// text, some deflated and some stored incompressible data.
//
// With --damaged the same archive is written broken the way the repair
// benchmark wants it: garbage over the middle of the compressed data of one
// deflated text entry halfway through, and the archive cut off in the
// middle of the data of its third-last entry, so that the last two entries
// and the central directory are lost. The same arguments always give the
// same bytes.
//
// Usage: tessaly-bench-archive OUT.zip [ENTRIES] [UNCOMPRESSED_MIB] [--damaged]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/Damage.h"
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

constexpr std::size_t kGarbageBytes = 256;

// The first deflated text entry from the middle on whose compressed data
// is long enough to take the garbage with room on both sides.
std::size_t EntryToCorrupt(const BuiltZip& zip) {
    for (std::size_t i = zip.entries.size() / 2; i < zip.entries.size(); ++i) {
        const EntryLayout& entry = zip.entries[i];
        if (i % 10 < 7 && entry.dataEnd - entry.dataStart >= 4 * kGarbageBytes) return i;
    }
    return kNone;
}

// Breaks `zip` as the usage above says and tells what it did; false when
// the archive has too few entries for it.
bool Damage(BuiltZip& zip) {
    const std::size_t corrupt = EntryToCorrupt(zip);
    if (zip.entries.size() < 4 || corrupt == kNone || corrupt >= zip.entries.size() - 3) return false;
    const EntryLayout& damaged = zip.entries[corrupt];
    const std::size_t at = damaged.dataStart + (damaged.dataEnd - damaged.dataStart) / 2;
    Overwrite(zip.bytes, at, Garbage(kGarbageBytes));
    const std::size_t last = zip.entries.size() - 3;
    const EntryLayout& cut = zip.entries[last];
    const std::size_t length = cut.dataStart + (cut.dataEnd - cut.dataStart) / 2;
    TruncateAt(zip.bytes, length);
    std::printf(
        "damaged: entry %zu has %zu bytes of garbage at offset %zu; cut at %zu, inside entry %zu of %zu "
        "(no central directory)\n",
        corrupt + 1, kGarbageBytes, at, length, last + 1, zip.entries.size());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    bool damaged = false;
    if (argc > 1 && std::strcmp(argv[argc - 1], "--damaged") == 0) {
        damaged = true;
        --argc;
    }
    if (argc < 2) {
        std::fprintf(stderr, "usage: tessaly-bench-archive OUT.zip [ENTRIES] [UNCOMPRESSED_MIB] [--damaged]\n");
        return 2;
    }
    const std::size_t entries = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 4000;
    const std::size_t mib = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 500;
    const auto sizes = EntrySizes(entries, mib << 20);
    std::vector<EntryToWrite> inputs;
    inputs.reserve(entries);
    for (std::size_t i = 0; i < entries; ++i) inputs.push_back(MakeEntry(i, sizes[i]));
    BuiltZip zip = BuildZip(inputs);
    inputs.clear();
    inputs.shrink_to_fit();
    if (damaged && !Damage(zip)) {
        std::fprintf(stderr, "tessaly-bench-archive: too few entries to damage\n");
        return 1;
    }
    WriteFileBytes(argv[1], zip.bytes);
    std::printf("%s: %zu entries, %zu MiB uncompressed, %zu MiB archive\n", argv[1], entries, mib,
                zip.bytes.size() >> 20);
    return 0;
}
