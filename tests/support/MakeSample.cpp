// tessaly-make-sample OUT.zip: writes a small damaged archive to show the
// salvage at work. It holds a handful of text files, some stored and some
// deflated, behind a stub of junk; one entry's data is corrupted, the file
// ends inside the last entry's data and the central directory is lost.
// The result is the same on every run.
#include <cstdio>
#include <exception>
#include <string>

#include "tests/support/Sample.h"
#include "tests/support/TempFolder.h"

using namespace tessaly::testzip;

int main(int argc, char** argv) {
    if (argc != 2 || std::string(argv[1]) == "--help") {
        std::fprintf(stderr, "usage: tessaly-make-sample OUT.zip\n");
        return 2;
    }
    try {
        Bytes bytes = SampleArchive();
        WriteFileBytes(argv[1], bytes);
        std::printf(
            "%s: %zu bytes: 6 entries behind junk, one corrupted, cut inside the last, "
            "no central directory\n",
            argv[1], bytes.size());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tessaly-make-sample: %s\n", e.what());
        return 1;
    }
    return 0;
}
