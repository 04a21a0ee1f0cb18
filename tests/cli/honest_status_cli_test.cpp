// The exit status and the summary say what was lost: 0 only when every
// entry that carries data was written whole. An archive that ends inside a
// record, data left out for its name, and a method or an encryption that
// cannot be read all give 1, with reasons that name the thing.
#include <filesystem>
#include <system_error>

#include <gtest/gtest.h>

#include "archive/CompressionMethods.h"
#include "tests/cli/CliRunner.h"
#include "tests/cli/JsonValue.h"
#include "tests/support/Damage.h"
#include "tests/support/Encoders.h"
#include "tests/support/TempFolder.h"
#include "tests/support/ZipCrypt.h"

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

// Three entries whose data says less than the records around them suggest,
// beside whole ones: a traditionally encrypted entry whose data stops 7
// bytes into its encryption header, a streamed entry whose descriptor is
// zeroed and whose central record gives CRC-32 and sizes 0, and a streamed
// Zstandard frame of empty content that asks for a 2 GiB window. With the
// right password none is "ok" or "wrong password"; each says why; the
// bytes reported are those on disk, and the exit status is 1. Text and
// JSON say the same.
TEST(HonestStatusCli, EntriesWhoseDataSaysLessAreNeitherOkNorAWrongPassword) {
    if (!HaveEncoder(Codec::Zstd) || !IsReadableMethod(93)) GTEST_SKIP() << "Zstandard is not in this build";
    const std::string password = "right one";
    EntryToWrite whole = Deflated("whole.txt", TextContent("whole", 5000));
    whole.password = password;
    EntryToWrite cut = Stored("cut.bin", "never there");
    cut.encrypted = true;
    Bytes header = TraditionalEncrypt(password, 0x11, cut.data, 3);
    header.resize(5);
    cut.rawData = header;
    EntryToWrite sizeless = Deflated("sizeless.txt", TextContent("sizeless", 60000));
    sizeless.streamed = true;
    EntryToWrite wide = Compressed(Codec::Zstd, "wide.txt", Bytes{});
    wide.rawData = ZstdFrameAskingForWindow(Bytes{}, 31);
    wide.streamed = true;
    BuiltZip built = BuildZip({whole, cut, sizeless, wide, Stored("last.txt", "last")});
    const EntryLayout& lost = built.entries[2];
    ZeroRange(built.bytes, lost.descriptor, lost.descriptorEnd - lost.descriptor);
    ZeroRange(built.bytes, lost.centralHeader + 16, 12);  // CRC-32 and both sizes

    TempFolder folder;
    const std::string zip = WriteZip(folder, "less.zip", built.bytes);
    const std::string passwordFile = (folder / "pw.txt").string();
    WriteFileBytes(folder / "pw.txt", ToBytes(password));
    const struct {
        const char* name;
        const char* detail;
    } expected[] = {
        {"cut.bin",
         "entry cut short before its encrypted data begins (5 bytes of data, the traditional PKWARE "
         "encryption needs 12)"},
        {"sizeless.txt", "no data descriptor: CRC-32 cannot be checked"},
        {"wide.txt", "Zstandard window too large (more than 256 MiB)"},
    };
    for (const char* mode : {"quick", "advance"}) {
        SCOPED_TRACE(mode);
        const auto out = folder / (std::string("out-") + mode);
        const CliRun text =
            RunCli({"extract", "--mode", mode, "--password-file", passwordFile, "-d", out.string(), zip});
        EXPECT_EQ(text.status, 1) << text.out << text.err;
        EXPECT_NE(text.out.find("less.zip: 5 entries: 2 ok, 3 damaged"), std::string::npos) << text.out;
        EXPECT_EQ(text.out.find("wrong password"), std::string::npos) << text.out;
        for (const auto& e : expected)
            EXPECT_NE(text.out.find(std::string(e.name) + "  (" + e.detail + ")"), std::string::npos) << text.out;
        EXPECT_EQ(ReadFileBytes(out / "sizeless.txt"), sizeless.data);

        const CliRun json = RunCli(
            {"extract", "--json", "--mode", mode, "--password-file", passwordFile, "-d", (out / "json").string(), zip});
        EXPECT_EQ(json.status, 1) << json.out << json.err;
        const auto doc = ParseJson(json.out);
        ASSERT_TRUE(doc) << json.out;
        const JsonValue& entries = (*doc)["archives"][0]["entries"];
        ASSERT_EQ(entries.items.size(), 5u);
        for (std::size_t i = 0; i < 3; ++i) {
            const JsonValue& entry = entries[i + 1];
            EXPECT_EQ(entry["name"].text, expected[i].name);
            EXPECT_EQ(entry["outcome"].text, "damaged");
            EXPECT_EQ(entry["detail"].text, expected[i].detail);
            std::error_code error;
            const auto onDisk = std::filesystem::file_size(out / "json" / expected[i].name, error);
            EXPECT_EQ(entry["bytesWritten"].number, error ? 0.0 : static_cast<double>(onDisk)) << expected[i].name;
        }
        EXPECT_EQ(entries[0]["outcome"].text, "ok");
        EXPECT_EQ(entries[4]["outcome"].text, "ok");
    }
}

// Two archives one after the other: the second's directory counts from its
// own start. Every file of both is written, nothing is made up, and that is
// a success in both modes.
TEST(HonestStatusCli, AnArchiveAppendedToAnotherGivesZeroWithEveryFile) {
    const BuiltZip first =
        BuildZip({Deflated("a1.txt", TextContent("a1", 3000)), Stored("a2.bin", NoiseContent(2, 1700)),
                  Deflated("a3.txt", TextContent("a3", 2000))});
    const BuiltZip second =
        BuildZip({Stored("b1.bin", NoiseContent(3, 2100)), Deflated("b2.txt", TextContent("b2", 2600)),
                  Deflated("b3.txt", TextContent("b3", 800)), Stored("b4.txt", TextContent("b4", 1300))});
    Bytes joined = first.bytes;
    joined.insert(joined.end(), second.bytes.begin(), second.bytes.end());
    for (const char* mode : {"quick", "advance"}) {
        SCOPED_TRACE(mode);
        TempFolder folder;
        const std::string zip = WriteZip(folder, "two.zip", joined);
        const CliRun extract = RunCli({"extract", "--mode", mode, "-d", (folder / "out").string(), zip});
        EXPECT_EQ(extract.status, 0) << extract.out << extract.err;
        EXPECT_EQ(LinesStartingWith(extract.out, "ok ").size(), 7u) << extract.out;
        EXPECT_EQ(extract.out.find("skipped"), std::string::npos) << extract.out;
        EXPECT_EQ(extract.out.find("left out"), std::string::npos) << extract.out;
        EXPECT_EQ(ToString(ReadFileBytes(folder / "out/b3.txt")), ToString(TextContent("b3", 800)));
    }
}

// A local-header signature inside a streamed entry's data, whose name would
// run past the end of the file, is no end of the archive: the entries after
// it are written and nothing is said to end inside a record.
TEST(HonestStatusCli, ASignatureInsideDataCutShortByTheEndGivesZero) {
    Bytes content = TextContent("lead", 1500);
    const Bytes falseHeader = {'P', 'K', 3, 4, 20, 0, 0, 0, 8, 0, 0, 0,    0,    0, 0,
                               0,   0,   0, 0, 0,  0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0, 0};
    content.insert(content.end(), falseHeader.begin(), falseHeader.end());
    EntryToWrite carrier = Deflated("setup.exe", content);
    carrier.level = 0;
    carrier.streamed = true;
    BuiltZip built = BuildZip({carrier, Stored("readme.txt", "read me"), Deflated("z.txt", TextContent("z", 900))});
    DropCentralDirectory(built);
    for (const char* mode : {"quick", "advance"}) {
        SCOPED_TRACE(mode);
        TempFolder folder;
        const std::string zip = WriteZip(folder, "setup.zip", built.bytes);
        const CliRun extract = RunCli({"extract", "--mode", mode, "-d", (folder / "out").string(), zip});
        EXPECT_EQ(extract.status, 0) << extract.out << extract.err;
        EXPECT_EQ(LinesStartingWith(extract.out, "ok ").size(), 3u) << extract.out;
        EXPECT_EQ(extract.out.find("ends inside a record"), std::string::npos) << extract.out;
        EXPECT_EQ(ToString(ReadFileBytes(folder / "out/readme.txt")), "read me");
    }
}

// A zeroed local header whose central record survives: Advance Repair names
// the entry from the record and says what was lost; an empty file is
// written; the entry with data is counted as left out.
TEST(HonestStatusCli, ALostLocalHeaderIsNamedFromItsCentralRecord) {
    BuiltZip built = BuildZip({Stored("first.txt", "first"), Stored("empty.txt", ""),
                               Stored("lost.bin", NoiseContent(4, 900)), Stored("last.txt", "last")});
    for (std::size_t i : {1, 2}) ZeroRange(built.bytes, built.entries[i].localHeader, 30);
    TempFolder folder;
    const std::string zip = WriteZip(folder, "lost.zip", built.bytes);
    const CliRun extract = RunCli({"extract", "--mode", "advance", "-d", (folder / "out").string(), zip});
    EXPECT_EQ(extract.status, 1) << extract.out << extract.err;
    const auto skipped = LinesStartingWith(extract.out, "skipped ");
    ASSERT_EQ(skipped.size(), 1u) << extract.out;
    EXPECT_NE(skipped[0].find("lost.bin"), std::string::npos) << skipped[0];
    EXPECT_NE(skipped[0].find("local header lost; named from the central record"), std::string::npos) << skipped[0];
    EXPECT_EQ(extract.out.find("skipped (empty name)"), std::string::npos) << extract.out;
    EXPECT_NE(extract.out.find("1 entry with data was left out"), std::string::npos) << extract.out;
    EXPECT_TRUE(ReadFileBytes(folder / "out/empty.txt").empty());
    EXPECT_TRUE(std::filesystem::exists(folder / "out/empty.txt"));
}

}  // namespace
}  // namespace tessaly::clitest
