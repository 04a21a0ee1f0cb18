// The exit status and the summary say what was lost: 0 only when every
// entry that carries data was written whole. An archive that ends inside a
// record, data left out for its name, and a method or an encryption that
// cannot be read all give 1, with reasons that name the thing.
#include <gtest/gtest.h>

#include "tests/cli/CliRunner.h"
#include "tests/cli/JsonValue.h"
#include "tests/support/Damage.h"
#include "tests/support/TempFolder.h"

namespace tessaly::clitest {
namespace {

using namespace testzip;

// The 0x9901 extra block of an AES-encrypted entry: version, vendor "AE",
// key strength, the method underneath.
EntryToWrite AesEntry() {
    EntryToWrite e = Stored("aes.bin", "ciphertext");
    e.encrypted = true;
    e.methodOverride = 99;
    e.extra = {0x01, 0x99, 0x07, 0x00, 0x02, 0x00, 'A', 'E', 0x03, 0x08, 0x00};
    return e;
}

struct StatusCase {
    std::string name;
    EntryToWrite middle;
    std::string outcome;     // extract's line for the middle entry
    std::string detail;      // its reason
    std::string listNote;    // list's mark on it
    std::string summaryHas;  // in extract's summary line
};

std::vector<StatusCase> StatusCases() {
    EntryToWrite traditional = Stored("zipcrypto.bin", "ciphertext");
    traditional.encrypted = true;
    EntryToWrite strong = Stored("strong.bin", "ciphertext");
    strong.flagsOverride = 0x0041;
    EntryToWrite ppmd = Stored("ppmd.bin", "not really PPMd");
    ppmd.methodOverride = 98;
    return {
        {"traditional encryption", traditional, "encrypted", "encrypted (traditional PKWARE encryption)",
         "[saving would skip it: encrypted (traditional PKWARE encryption)]", "1 encrypted"},
        {"AES encryption", AesEntry(), "encrypted", "encrypted (WinZip AES encryption)",
         "[saving would skip it: encrypted (WinZip AES encryption)]", "1 encrypted"},
        {"strong encryption", strong, "encrypted", "encrypted (strong encryption)",
         "[saving would skip it: encrypted (strong encryption)]", "1 encrypted"},
        {"PPMd", ppmd, "failed", "PPMd compression is not supported",
         "[cannot be read: PPMd compression is not supported]", "1 failed"},
        {"junk name with data",
         Stored("bad\x01"
                "name.txt",
                "data"),
         "skipped", "junk name", "[saving would skip it: junk name]", "1 entry with data was left out"},
    };
}

TEST(HonestStatusCli, EntriesThatCannotBeReadAreNamedMarkedAndGiveOne) {
    for (const StatusCase& c : StatusCases()) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        const std::string zip = WriteZip(
            folder, "a.zip", BuildZip({Stored("first.txt", "first"), c.middle, Stored("last.txt", "last")}).bytes);
        const CliRun extract = RunCli({"extract", "-d", (folder / "out").string(), zip});
        EXPECT_EQ(extract.status, 1) << extract.out << extract.err;
        const auto lines = LinesStartingWith(extract.out, c.outcome + " ");
        ASSERT_EQ(lines.size(), 1u) << extract.out;
        EXPECT_NE(lines[0].find(c.detail), std::string::npos) << lines[0];
        EXPECT_EQ(lines[0].find("method 9"), std::string::npos) << lines[0];
        EXPECT_NE(extract.out.find(c.summaryHas), std::string::npos) << extract.out;
        EXPECT_EQ(ToString(ReadFileBytes(folder / "out/last.txt")), "last");

        const CliRun list = RunCli({"list", zip});
        EXPECT_EQ(list.status, 1) << list.out << list.err;
        EXPECT_NE(list.out.find(c.listNote), std::string::npos) << list.out;
    }
}

TEST(HonestStatusCli, AnArchiveEndingInsideARecordSaysWhereAndGivesOne) {
    for (const char* mode : {"quick", "advance"}) {
        SCOPED_TRACE(mode);
        TempFolder folder;
        BuiltZip built = BuildZip(
            {Stored("one.txt", "one"), Deflated("two.txt", TextContent("two", 4000)), Stored("three.txt", "three")});
        const std::size_t cutHeader = built.entries[2].localHeader;
        TruncateAt(built.bytes, cutHeader + 20);
        const std::string zip = WriteZip(folder, "cut.zip", built.bytes);
        const std::string where = "the archive ends inside a record at offset " + std::to_string(cutHeader);

        const CliRun extract = RunCli({"extract", "--mode", mode, "-d", (folder / "out").string(), zip});
        EXPECT_EQ(extract.status, 1) << extract.out << extract.err;
        EXPECT_NE(extract.out.find("cut.zip: 2 entries: 2 ok; " + where), std::string::npos) << extract.out;

        const CliRun list = RunCli({"list", "--mode", mode, "--json", zip});
        EXPECT_EQ(list.status, 1) << list.out << list.err;
        const auto doc = ParseJson(list.out);
        ASSERT_TRUE(doc) << list.out;
        EXPECT_EQ((*doc)["archives"][0]["endsInsideRecordAt"].number, static_cast<double>(cutHeader));
    }
}

// Cut where a record would begin, only the directory is lost: every entry
// is whole, and that is a success.
TEST(HonestStatusCli, AnArchiveCutBetweenRecordsWithEveryEntryWholeGivesZero) {
    TempFolder folder;
    BuiltZip built = BuildZip({Stored("one.txt", "one"), Deflated("two.txt", TextContent("two", 4000))});
    DropCentralDirectory(built);
    const std::string zip = WriteZip(folder, "nodir.zip", built.bytes);
    const CliRun extract = RunCli({"extract", "-d", (folder / "out").string(), zip});
    EXPECT_EQ(extract.status, 0) << extract.out << extract.err;
    EXPECT_EQ(extract.out.find("ends inside a record"), std::string::npos) << extract.out;
}

}  // namespace
}  // namespace tessaly::clitest
