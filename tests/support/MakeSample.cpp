// tessaly-make-sample OUT.zip: writes a small damaged archive to show the
// salvage at work. It holds a handful of text files, some stored and some
// deflated, behind a stub of junk; one entry's data is corrupted, the file
// ends inside the last entry's data and the central directory is lost.
// The result is the same on every run.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "tests/support/Damage.h"
#include "tests/support/TempFolder.h"
#include "tests/support/ZipWriter.h"

namespace {

using namespace tessaly::testzip;

std::string NumbersTable() {
    std::string text = "n,square,cube\n";
    for (int n = 1; n <= 200; ++n)
        text += std::to_string(n) + "," + std::to_string(n * n) + "," + std::to_string(n * n * n) + "\n";
    return text;
}

std::string Repeated(const std::string& line, int times) {
    std::string text;
    for (int i = 1; i <= times; ++i)
        text += std::to_string(i) + ". " + line + "\n";
    return text;
}

std::vector<EntrySpec> SampleEntries() {
    std::vector<EntrySpec> entries;
    entries.push_back(Stored("readme.txt",
                             "This archive was damaged on purpose.\n"
                             "Junk sits in front of it, one file's data is corrupted,\n"
                             "its end is cut off and its central directory is gone.\n"));
    entries.push_back(Deflated("letters/to-alice.txt",
                               Repeated("Dear Alice, the garden is blooming and the cat sends regards.", 40)));
    entries.push_back(Deflated("letters/to-bob.txt",
                               Repeated("Dear Bob, the boxes arrived intact; the kettle did not.", 40)));
    entries.push_back(Deflated("data/numbers.csv", NumbersTable()));
    entries.push_back(Deflated("corrupted/diary.txt",
                               Repeated("Today the archive lost a few bits in the middle of this file.", 60)));
    entries.push_back(Stored("notes/shopping-list.txt", Repeated("bread, apples, tea, candles, string", 30)));
    for (EntrySpec& entry : entries) {
        entry.dosDate = DosDate(2026, 12, 7);
        entry.dosTime = DosTime(3, 24, 26);
    }
    return entries;
}

Bytes SampleArchive() {
    BuildOptions options;
    options.centralDirectory = false;
    BuiltZip zip = BuildZip(SampleEntries(), options);
    const EntryLayout& corrupted = zip.entries[4];
    std::size_t middle = corrupted.dataStart + (corrupted.dataEnd - corrupted.dataStart) / 2;
    ZeroRange(zip.bytes, middle, 8);
    const EntryLayout& last = zip.entries.back();
    TruncateAt(zip.bytes, last.dataStart + (last.dataEnd - last.dataStart) * 2 / 3);
    std::string stub = "#!/bin/sh\necho 'this archive has a stub in front'\nexit 0\n";
    PrependStub(zip, ToBytes(stub + std::string(200, '#') + "\n"), false);
    return zip.bytes;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 || std::string(argv[1]) == "--help") {
        std::fprintf(stderr, "usage: tessaly-make-sample OUT.zip\n");
        return 2;
    }
    try {
        Bytes bytes = SampleArchive();
        WriteFileBytes(argv[1], bytes);
        std::printf("%s: %zu bytes: 6 entries behind junk, one corrupted, cut inside the last, "
                    "no central directory\n",
                    argv[1], bytes.size());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tessaly-make-sample: %s\n", e.what());
        return 1;
    }
    return 0;
}
