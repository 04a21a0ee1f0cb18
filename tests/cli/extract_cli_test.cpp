// `extract`: every outcome on its own damaged archive with the status it
// gives, byte-exact output from healthy archives in both modes, several
// archives into their own folders, and nothing written outside -d.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "tests/cli/CliRunner.h"
#include "tests/cli/JsonValue.h"
#include "tests/support/Damage.h"
#include "tests/support/TempFolder.h"

namespace tessaly::clitest {
namespace {

using namespace testzip;

std::vector<EntryToWrite> HealthyEntries() {
    EntryToWrite streamed = Deflated("streamed/log.txt", TextContent("log", 70000));
    streamed.streamed = true;
    return {
        Deflated("docs/readme.txt", TextContent("readme", 5000)),
        Stored("data/noise.bin", NoiseContent(7, 70000)),
        Deflated("big.txt", TextContent("big", 300000)),
        streamed,
    };
}

TEST(ExtractCli, HealthyArchiveComesOutByteExactInBothModes) {
    const auto entries = HealthyEntries();
    for (const char* mode : {"quick", "advance"}) {
        SCOPED_TRACE(mode);
        TempFolder folder;
        const std::string zip = WriteZip(folder, "healthy.zip", BuildZip(entries).bytes);
        const CliRun run = RunCli({"extract", "--mode", mode, "-d", (folder / "out").string(), zip});
        EXPECT_EQ(run.status, 0) << run.out << run.err;
        EXPECT_EQ(LinesStartingWith(run.out, "ok ").size(), entries.size()) << run.out;
        for (const EntryToWrite& e : entries) EXPECT_EQ(ReadFileBytes(folder / "out" / e.name), e.data) << e.name;
        EXPECT_NE(run.out.find("healthy.zip: 4 entries: 4 ok"), std::string::npos) << run.out;
    }
}

// One damaged entry between two healthy ones; the outcome of the damaged
// one and the exit status are what the user sees.
struct DamageCase {
    std::string name;
    std::function<void(BuiltZip&)> damage;
    EntryToWrite middle;
    std::string outcome;
    int status;
};

std::vector<DamageCase> DamageCases() {
    EntryToWrite encrypted = Stored("middle.bin", "encrypted content");
    encrypted.encrypted = true;
    const auto middle = [](const BuiltZip& z) -> const EntryLayout& { return z.entries[1]; };
    return {
        {"corrupt deflate data", [=](BuiltZip& z) { FillRange(z.bytes, middle(z).dataStart + 20, 40, 0xFF); },
         Deflated("middle.bin", TextContent("m", 20000)), "damaged", 1},
        {"flipped bit in stored data", [=](BuiltZip& z) { FlipBits(z.bytes, middle(z).dataStart + 3, 0x10); },
         Stored("middle.bin", NoiseContent(3, 3000)), "damaged", 1},
        {"encrypted entry", [](BuiltZip&) {}, encrypted, "encrypted", 1},
        {"empty file", [](BuiltZip&) {}, Stored("middle.bin", ""), "ok", 0},
        {"junk name", [](BuiltZip&) {},
         Stored("mid\x02"
                "dle.bin",
                "junk"),
         "skipped", 1},
    };
}

TEST(ExtractCli, EachDamageGivesItsOutcomeAndStatusAndSparesTheNeighbours) {
    for (const DamageCase& c : DamageCases()) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        BuiltZip built = BuildZip({Stored("first.txt", "first"), c.middle, Stored("last.txt", "last")});
        c.damage(built);
        const std::string zip = WriteZip(folder, "damaged.zip", built.bytes);
        const CliRun run = RunCli({"extract", "-d", (folder / "out").string(), zip});
        EXPECT_EQ(run.status, c.status) << run.out << run.err;
        // The neighbours are "ok" lines too.
        EXPECT_EQ(LinesStartingWith(run.out, c.outcome + " ").size(), c.outcome == "ok" ? 3u : 1u) << run.out;
        EXPECT_EQ(ToString(ReadFileBytes(folder / "out" / "first.txt")), "first");
        EXPECT_EQ(ToString(ReadFileBytes(folder / "out" / "last.txt")), "last");
    }
}

TEST(ExtractCli, ArchiveCutInsideDataGivesTruncatedWithWhatWasThereInBothModes) {
    for (const char* mode : {"quick", "advance"}) {
        SCOPED_TRACE(mode);
        TempFolder folder;
        const Bytes content = NoiseContent(9, 10000);
        BuiltZip built = BuildZip({Stored("first.txt", "first"), Stored("cut.bin", content)});
        TruncateAt(built.bytes, built.entries[1].dataStart + 4000);
        const std::string zip = WriteZip(folder, "cut.zip", built.bytes);
        const CliRun run = RunCli({"extract", "--mode", mode, "-d", (folder / "out").string(), zip});
        EXPECT_EQ(run.status, 1) << run.out << run.err;
        EXPECT_EQ(LinesStartingWith(run.out, "truncated ").size(), 1u) << run.out;
        EXPECT_EQ(ReadFileBytes(folder / "out" / "cut.bin"), Bytes(content.begin(), content.begin() + 4000));
    }
}

TEST(ExtractCli, SeveralArchivesGoToFoldersNamedAfterThem) {
    TempFolder folder;
    std::filesystem::create_directory(folder / "other");
    const std::string a = WriteZip(folder, "alpha.zip", BuildZip({Stored("a.txt", "from alpha")}).bytes);
    const std::string b = WriteZip(folder, "beta.zip", BuildZip({Stored("b.txt", "from beta")}).bytes);
    const std::string a2 = WriteZip(folder, "other/alpha.zip", BuildZip({Stored("c.txt", "other alpha")}).bytes);
    const CliRun run = RunCli({"extract", "-d", (folder / "out").string(), a, b, a2});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    const std::vector<std::string> expected = {"alpha (2)/c.txt", "alpha/a.txt", "beta/b.txt"};
    EXPECT_EQ(ListFilesBelow(folder / "out"), expected);
    EXPECT_NE(run.out.find("Total: 3 archives, 3 entries: 3 ok"), std::string::npos) << run.out;
}

TEST(ExtractCli, NothingIsWrittenOutsideTheDestination) {
    TempFolder folder;
    const std::string zip = WriteZip(folder, "evil.zip",
                                     BuildZip({
                                                  Stored("../../escape1.txt", "1"),
                                                  Stored("/tmp/escape2.txt", "2"),
                                                  Stored("a/../../../escape3.txt", "3"),
                                                  Stored("..\\..\\escape4.txt", "4"),
                                                  Stored("C:\\escape5.txt", "5"),
                                                  Stored("./ok/./fine.txt", "6"),
                                              })
                                         .bytes);
    for (const char* mode : {"quick", "advance"}) {
        const CliRun run = RunCli({"extract", "--mode", mode, "-d", (folder / "deep" / "out").string(), zip});
        EXPECT_LE(run.status, 1) << run.out << run.err;
        for (const std::string& file : ListFilesBelow(folder.Path()))
            EXPECT_TRUE(file == "evil.zip" || file.rfind("deep/out/", 0) == 0) << file;
    }
    EXPECT_EQ(ToString(ReadFileBytes(folder / "deep/out/ok/fine.txt")), "6");
}

TEST(ExtractCli, ALaterEntryOfTheSameNameWinsAndFolderEntriesOnlyMakeTheirFolder) {
    TempFolder folder;
    std::vector<EntryToWrite> entries = {Stored("same.txt", "first"), Stored("docs/", "")};
    for (int i = 0; i < 40; ++i)
        entries.push_back(Deflated("docs/file" + std::to_string(i) + ".txt", TextContent(std::to_string(i), 20000)));
    entries.push_back(Stored("SAME.txt", "upper"));
    entries.push_back(Stored("same.txt", "second"));
    const std::string zip = WriteZip(folder, "dups.zip", BuildZip(entries).bytes);
    const CliRun run = RunCli({"extract", "-d", (folder / "out").string(), zip});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(ToString(ReadFileBytes(folder / "out/same.txt")), "second");
#ifdef _WIN32
    // Letter case does not tell files apart here: the other spelling is kept
    // beside it, and its line says under which name.
    EXPECT_EQ(ToString(ReadFileBytes(folder / "out/SAME (2).txt")), "upper");
    EXPECT_NE(run.out.find("SAME.txt  (written as SAME (2).txt)"), std::string::npos) << run.out;
#else
    EXPECT_EQ(ToString(ReadFileBytes(folder / "out/SAME.txt")), "upper");
#endif
    for (int i = 0; i < 40; ++i)
        EXPECT_EQ(ReadFileBytes(folder / "out/docs" / ("file" + std::to_string(i) + ".txt")), entries[i + 2].data);
    // Lines come in entry order whatever thread extracted the entry.
    const auto lines = LinesStartingWith(run.out, "ok ");
    ASSERT_EQ(lines.size(), 44u);
    EXPECT_NE(lines[0].find("same.txt"), std::string::npos);
    EXPECT_NE(lines[1].find("docs"), std::string::npos);
    EXPECT_NE(lines[2].find("docs/file0.txt"), std::string::npos);
    EXPECT_NE(lines[43].find("same.txt"), std::string::npos);
}

// Different stored names that sanitising turns into one path are each
// kept under a numbered name their line (and the JSON) gives; the same
// stored name again is still one file, the later entry's.
TEST(ExtractCli, DistinctNamesForOnePathAreAllKeptAndSayWhereTheyWent) {
    const std::vector<EntryToWrite> entries = {
        Stored("b.txt", "plain"),       Stored("../b.txt", "parent"), Stored("/b.txt", "absolute"),
        Stored("./b.txt", "dot"),       Stored("C:\\b.txt", "drive"), Stored("z:/b.txt", "drive slash"),
        Stored("b.txt", "plain again"),
    };
    const std::vector<std::pair<std::string, std::string>> onDisk = {
        {"b.txt", "plain again"}, {"b (2).txt", "parent"}, {"b (3).txt", "absolute"},
        {"b (4).txt", "dot"},     {"b (5).txt", "drive"},  {"b (6).txt", "drive slash"},
    };
    for (const char* mode : {"quick", "advance"}) {
        SCOPED_TRACE(mode);
        TempFolder folder;
        const std::string zip = WriteZip(folder, "merged.zip", BuildZip(entries).bytes);
        const CliRun run = RunCli({"extract", "--mode", mode, "-d", (folder / "out").string(), zip});
        EXPECT_EQ(run.status, 0) << run.out << run.err;
        std::vector<std::string> expectedFiles;
        for (const auto& [file, content] : onDisk) {
            EXPECT_EQ(ToString(ReadFileBytes(folder / "out" / file)), content) << file;
            expectedFiles.push_back(file);
        }
        std::sort(expectedFiles.begin(), expectedFiles.end());
        EXPECT_EQ(ListFilesBelow(folder / "out"), expectedFiles);
        const auto lines = LinesStartingWith(run.out, "ok ");
        ASSERT_EQ(lines.size(), entries.size()) << run.out;
        EXPECT_EQ(lines[0].find("written as"), std::string::npos) << lines[0];
        for (std::size_t i = 1; i < 6; ++i)
            EXPECT_NE(lines[i].find(entries[i].name + "  (written as " + onDisk[i].first + ")"), std::string::npos)
                << lines[i];
        EXPECT_EQ(lines[6].find("written as"), std::string::npos) << lines[6];

        const CliRun json = RunCli({"extract", "--json", "--mode", mode, "-d", (folder / "again").string(), zip});
        EXPECT_EQ(json.status, 0) << json.out << json.err;
        const auto doc = ParseJson(json.out);
        ASSERT_TRUE(doc) << json.out;
        const JsonValue& listed = (*doc)["archives"][0]["entries"];
        ASSERT_EQ(listed.items.size(), entries.size());
        for (std::size_t i = 1; i < 6; ++i) {
            EXPECT_EQ(listed[i]["outcome"].text, "ok");
            EXPECT_EQ(listed[i]["detail"].text, "written as " + onDisk[i].first);
            EXPECT_EQ(listed[i]["path"].text, (folder / "again" / onDisk[i].first).string());
        }
        EXPECT_EQ(listed[6]["path"].text, (folder / "again" / "b.txt").string());
        EXPECT_EQ((*doc)["archives"][0]["summary"]["ok"].number, 7);
    }
}

TEST(ExtractCli, ADestinationThatCannotBeMadeExitsWithTwo) {
    TempFolder folder;
    const std::string zip = WriteZip(folder, "a.zip", BuildZip({Stored("a.txt", "a")}).bytes);
    WriteFileBytes(folder / "file", ToBytes("in the way"));
    const CliRun run = RunCli({"extract", "-d", (folder / "file").string(), zip});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("a.zip"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find((folder / "file").string()), std::string::npos) << run.err;
}

}  // namespace
}  // namespace tessaly::clitest
