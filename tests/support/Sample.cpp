#include "tests/support/Sample.h"

#include <string>
#include <vector>

#include "tests/support/Damage.h"

namespace tessaly::testzip {
namespace {

std::string NumbersTable() {
    std::string text = "n,square,cube\n";
    for (int n = 1; n <= 200; ++n)
        text += std::to_string(n) + "," + std::to_string(n * n) + "," + std::to_string(n * n * n) + "\n";
    return text;
}

std::string Repeated(const std::string& line, int times) {
    std::string text;
    for (int i = 1; i <= times; ++i) text += std::to_string(i) + ". " + line + "\n";
    return text;
}

std::vector<EntryToWrite> SampleEntries() {
    std::vector<EntryToWrite> entries;
    entries.push_back(Stored("readme.txt",
                             "This archive was damaged on purpose.\n"
                             "Junk sits in front of it, one file's data is corrupted,\n"
                             "its end is cut off and its central directory is gone.\n"));
    entries.push_back(Deflated("letters/to-alice.txt",
                               Repeated("Dear Alice, the garden is blooming and the cat sends regards.", 40)));
    entries.push_back(
        Deflated("letters/to-bob.txt", Repeated("Dear Bob, the boxes arrived intact; the kettle did not.", 40)));
    entries.push_back(Deflated("data/numbers.csv", NumbersTable()));
    entries.push_back(
        Deflated("corrupted/diary.txt", Repeated("Today the archive lost a few bits in the middle of this file.", 60)));
    entries.push_back(Stored("notes/shopping-list.txt", Repeated("bread, apples, tea, candles, string", 30)));
    for (EntryToWrite& entry : entries) {
        entry.dosDate = DosDate(2026, 12, 7);
        entry.dosTime = DosTime(3, 24, 26);
    }
    return entries;
}

}  // namespace

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

std::vector<std::string> SampleEntryNames() {
    std::vector<std::string> names;
    for (const EntryToWrite& entry : SampleEntries()) names.push_back(entry.name);
    return names;
}

}  // namespace tessaly::testzip
