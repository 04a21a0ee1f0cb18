// Writes the archives of the Deflate benchmark in scripts/bench.sh, which
// times our extraction side by side with bsdtar, 7zz and unzip (and, for the
// single entries, igzip and libdeflate on a gzip of the same data):
//   text OUT.zip DATA      one entry of text-like data, and the data alone
//   binary OUT.zip DATA    one entry of binary-like data, and the data alone
//   many OUT.zip COUNT KIB COUNT entries of KIB KiB each, text-like
// MIB (default 200) sets the size of the single entries. The same
// arguments always give the same bytes.
//
// Usage: tessaly-bench-deflate text|binary OUT.zip DATA [MIB]
//        tessaly-bench-deflate many OUT.zip COUNT KIB
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "tests/support/TempFolder.h"
#include "tests/support/ZipWriter.h"

using namespace tessaly::testzip;

namespace {

// Text with a long vocabulary and numbers: about 3.5:1 at level 6, like logs
// or source code.
const std::vector<std::string>& Vocabulary() {
    static const std::vector<std::string> words = [] {
        std::mt19937 random(99);
        std::vector<std::string> made;
        for (int i = 0; i < 4000; ++i) {
            std::string word;
            const int length = 2 + static_cast<int>(random() % 9);
            for (int j = 0; j < length; ++j) word.push_back(static_cast<char>('a' + random() % 26));
            made.push_back(word);
        }
        return made;
    }();
    return words;
}

Bytes TextLike(std::size_t size, std::uint32_t seed) {
    std::mt19937 random(seed);
    const std::vector<std::string>& words = Vocabulary();
    Bytes out;
    out.reserve(size + 64);
    std::size_t line = 0;
    while (out.size() < size) {
        const std::string stamp = std::to_string(1700000000 + line * 7) + " [" + std::to_string(random() % 16) + "] ";
        out.insert(out.end(), stamp.begin(), stamp.end());
        for (int w = 0, n = 4 + static_cast<int>(random() % 10); w < n; ++w) {
            // Zipf-like: the first words far more often than the rest.
            const std::size_t pick = static_cast<std::size_t>(random() % 4000) * (random() % 4000) / 4000;
            out.insert(out.end(), words[pick].begin(), words[pick].end());
            out.push_back(' ');
        }
        out.push_back('\n');
        ++line;
    }
    out.resize(size);
    return out;
}

// Records of counters, small integers, flags and some noise, like a
// database file or an executable: about 2:1 at level 6.
Bytes BinaryLike(std::size_t size, std::uint32_t seed) {
    std::mt19937 random(seed);
    Bytes out;
    out.reserve(size + 64);
    std::uint32_t counter = 0;
    while (out.size() < size) {
        counter += 1 + random() % 3;
        for (int k = 0; k < 4; ++k) out.push_back(static_cast<std::uint8_t>(counter >> (8 * k)));
        const std::uint32_t small = random() % 300;
        out.push_back(static_cast<std::uint8_t>(small));
        out.push_back(static_cast<std::uint8_t>(small >> 8));
        out.push_back(static_cast<std::uint8_t>(random() % 4 == 0 ? 0xFF : 0));
        out.push_back(0);
        for (int k = 0; k < 8; ++k) out.push_back(static_cast<std::uint8_t>(random() % 8 == 0 ? random() : k * 17));
    }
    out.resize(size);
    return out;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: tessaly-bench-deflate text|binary OUT.zip DATA [MIB]\n"
                 "       tessaly-bench-deflate many OUT.zip COUNT KIB\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) return Usage();
    const std::string kind = argv[1];
    std::vector<EntryToWrite> inputs;
    if (kind == "text" || kind == "binary") {
        const std::size_t mib = argc > 4 ? std::strtoul(argv[4], nullptr, 10) : 200;
        Bytes data = kind == "text" ? TextLike(mib << 20, 1) : BinaryLike(mib << 20, 2);
        WriteFileBytes(argv[3], data);
        inputs.push_back(Deflated(kind + ".dat", std::move(data)));
    } else if (kind == "many" && argc > 4) {
        const std::size_t count = std::strtoul(argv[3], nullptr, 10);
        const std::size_t kib = std::strtoul(argv[4], nullptr, 10);
        inputs.reserve(count);
        for (std::size_t i = 0; i < count; ++i)
            inputs.push_back(Deflated("d" + std::to_string(i % 97) + "/f" + std::to_string(i) + ".txt",
                                      TextLike(kib << 10, static_cast<std::uint32_t>(i + 3))));
    } else {
        return Usage();
    }
    const BuiltZip zip = BuildZip(inputs);
    WriteFileBytes(argv[2], zip.bytes);
    std::printf("%s: %zu entries, %zu MiB archive\n", argv[2], inputs.size(), zip.bytes.size() >> 20);
    return 0;
}
