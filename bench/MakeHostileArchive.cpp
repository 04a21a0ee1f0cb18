// Writes the hostile archives the memory and output figures are taken on,
// for tessaly-zip-cli under /usr/bin/time:
//   tessaly-hostile-archive OUT.zip bomb ENTRIES KERNEL_BYTES
//   tessaly-hostile-archive OUT.zip shared ENTRIES SPACING
//   tessaly-hostile-archive OUT.zip flood MIB
//   tessaly-hostile-archive OUT.zip textmode ENTRIES
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/support/Hostile.h"
#include "tests/support/TempFolder.h"

using namespace tessaly::testzip;

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: tessaly-hostile-archive OUT.zip bomb|shared|flood|textmode N [SIZE]\n");
        return 2;
    }
    const std::string kind = argv[2];
    const auto n = static_cast<std::size_t>(std::strtoull(argv[3], nullptr, 10));
    const auto size = static_cast<std::size_t>(argc > 4 ? std::strtoull(argv[4], nullptr, 10) : 0);
    HostileZip zip;
    if (kind == "bomb" && size > 0) {
        zip = OverlapBomb(n, size);
    } else if (kind == "shared" && size > 0) {
        zip = SharedTailHeaders(n, size);
    } else if (kind == "flood") {
        zip.bytes = SignatureFlood(n << 20);
    } else if (kind == "textmode") {
        zip.bytes = TextModeTransferred(n);
    } else {
        std::fprintf(stderr, "tessaly-hostile-archive: unknown kind or missing size\n");
        return 2;
    }
    WriteFileBytes(argv[1], zip.bytes);
    std::printf("%s: %zu bytes; writing every entry would come to %llu bytes, the first entry alone to %llu\n", argv[1],
                zip.bytes.size(), static_cast<unsigned long long>(zip.totalSize),
                static_cast<unsigned long long>(zip.firstEntrySize));
    return 0;
}
