// `repair`: the new archive from the command line, its report line by line
// and as JSON, the partial-entry choice, the refusals and the exit status.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/cli/CliRunner.h"
#include "tests/cli/JsonValue.h"
#include "tests/support/Damage.h"
#include "tests/support/IndependentReaders.h"
#include "tests/support/TempFolder.h"
#include "tests/support/ZipDirectory.h"

namespace tessaly::clitest {
namespace {

using namespace testzip;

// Four entries: whole, corrupt in its middle, whole, cut by the end.
BuiltZip DamagedArchive() {
    BuiltZip zip = BuildZip({Deflated("a.txt", TextContent("a", 20000)), Deflated("b.txt", TextContent("b", 60000)),
                             Stored("c.bin", NoiseContent(3, 5000)), Deflated("d.txt", TextContent("d", 30000))});
    const EntryLayout& b = zip.entries[1];
    FillRange(zip.bytes, b.dataStart + (b.dataEnd - b.dataStart) / 2, 50, 0xEE);
    TruncateAt(zip.bytes, zip.entries[3].dataStart + (zip.entries[3].dataEnd - zip.entries[3].dataStart) / 2);
    return zip;
}

TEST(RepairCli, WritesAnArchiveEveryReaderOpensAndSaysWhatWentIntoIt) {
    TempFolder folder;
    const BuiltZip zip = DamagedArchive();
    const std::string input = WriteZip(folder, "damaged.zip", zip.bytes);
    const std::string output = (folder / "fixed.zip").string();
    const CliRun run = RunCli({"repair", "-o", output, input});
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    EXPECT_EQ(LinesStartingWith(run.out, "ok ").size(), 2u) << run.out;
    EXPECT_EQ(LinesStartingWith(run.out, "damaged ").size(), 1u) << run.out;
    EXPECT_NE(run.out.find("a.txt  -> copied"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("-> partial, "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("repaired archive: 4 entries (2 copied, 2 partial)"), std::string::npos) << run.out;

    const Bytes repaired = ReadFileBytes(output);
    const std::optional<Directory> directory = ReadDirectory(repaired);
    ASSERT_TRUE(directory && directory->entries.size() == 4);
    EXPECT_TRUE(StoredBytes(repaired, directory->entries[0]) ==
                Bytes(zip.bytes.begin() + zip.entries[0].dataStart, zip.bytes.begin() + zip.entries[0].dataEnd));
    for (const ReaderVerdict& verdict : CheckWithReaders(output))
        EXPECT_TRUE(!verdict.installed || verdict.ok) << verdict.reader << ":\n" << verdict.output;

    // The same archive again: refused without --force, replaced with it.
    const CliRun again = RunCli({"repair", "-o", output, input});
    EXPECT_EQ(again.status, 2);
    EXPECT_NE(again.err.find("exists already"), std::string::npos) << again.err;
    EXPECT_EQ(RunCli({"repair", "--force", "-o", output, input}).status, 1);
    EXPECT_EQ(ReadFileBytes(output), repaired) << "a second repair writes the same bytes";
}

TEST(RepairCli, PartialEntriesLeftOutAndJsonReport) {
    TempFolder folder;
    const std::string input = WriteZip(folder, "damaged.zip", DamagedArchive().bytes);
    const std::string output = (folder / "strict.zip").string();
    const CliRun run = RunCli({"repair", "--json", "--partial", "omit", "--mode", "advance", "-o", output, input});
    EXPECT_EQ(run.status, 1) << run.err;
    const std::optional<JsonValue> json = ParseJson(run.out);
    ASSERT_TRUE(json.has_value()) << run.out;
    EXPECT_EQ((*json)["command"].text, "repair");
    const JsonValue& archive = (*json)["archives"][0];
    EXPECT_EQ(archive["output"].text, output);
    EXPECT_EQ(archive["entries"][0]["repair"]["action"].text, "copied");
    EXPECT_EQ(archive["entries"][1]["outcome"].text, "damaged");
    EXPECT_EQ(archive["entries"][1]["repair"]["action"].text, "left out");
    EXPECT_TRUE(archive["repair"]["written"].boolean);
    EXPECT_EQ(archive["repair"]["entries"].number, 2);
    EXPECT_EQ(archive["repair"]["leftOut"].number, 2);
    const std::optional<Directory> directory = ReadDirectory(ReadFileBytes(output));
    ASSERT_TRUE(directory && directory->entries.size() == 2);
}

// The archive itself is never the output, by any path to it; nothing is
// scanned or written then.
TEST(RepairCli, NeverWritesOverTheArchiveItRepairs) {
    TempFolder folder;
    const Bytes bytes = DamagedArchive().bytes;
    const std::string input = WriteZip(folder, "damaged.zip", bytes);
    std::filesystem::create_directory(folder / "sub");
    for (const std::string& output : {input, (folder / "sub" / ".." / "damaged.zip").string()}) {
        const CliRun run = RunCli({"repair", "--force", "-o", output, input});
        EXPECT_EQ(run.status, 2) << output;
        EXPECT_NE(run.err.find("cannot replace the archive it is made from"), std::string::npos) << run.err;
        EXPECT_EQ(ReadFileBytes(input), bytes);
    }
    EXPECT_EQ(ListFilesBelow(folder.Path()), std::vector<std::string>{"damaged.zip"});
}

}  // namespace
}  // namespace tessaly::clitest
