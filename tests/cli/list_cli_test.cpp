// `list`: the preview's columns, the skip notes, the repair modes, and
// inputs that are no archive at all.
#include <gtest/gtest.h>

#include "tests/cli/CliRunner.h"
#include "tests/support/Damage.h"
#include "tests/support/TempFolder.h"

namespace tessaly::clitest {
namespace {

using namespace testzip;

std::vector<EntryToWrite> MixedEntries() {
    EntryToWrite encrypted = Stored("secret.txt", "not really encrypted");
    encrypted.encrypted = true;
    return {
        Deflated("docs/readme.txt", TextContent("readme", 1536)),
        Stored("data.bin", NoiseContent(1, 512)),
        Stored("empty.txt", ""),
        Stored("bad\x01name.txt", "junk"),
        encrypted,
    };
}

TEST(ListCli, ShowsThePreviewColumnsAndWhatExtractWouldSkip) {
    TempFolder folder;
    const std::string zip = WriteZip(folder, "mixed.zip", BuildZip(MixedEntries()).bytes);
    const CliRun run = RunCli({"list", zip});
    EXPECT_EQ(run.status, 1) << run.err;  // the junk name and the encrypted entry hold data

    const struct {
        std::string name, mustShow;
    } rows[] = {
        {"docs/readme.txt", "1   KB"},
        {"data.bin", "512   Bytes"},
        {"empty.txt", "0   Bytes"},
        {"bad?name.txt", "[saving would skip it: junk name]"},
        {"secret.txt", "[saving would skip it: encrypted (traditional PKWARE encryption)]"},
    };
    for (const auto& row : rows) {
        const std::size_t at = run.out.find(row.name);
        ASSERT_NE(at, std::string::npos) << row.name << "\n" << run.out;
        const std::size_t lineStart = run.out.rfind('\n', at) + 1;
        const std::string line = run.out.substr(lineStart, run.out.find('\n', at) - lineStart);
        EXPECT_NE(line.find(row.mustShow), std::string::npos) << line;
    }
    EXPECT_NE(run.out.find("100%"), std::string::npos);  // stored noise
    EXPECT_NE(run.out.find("07 Dec 2024, 12:00:00"), std::string::npos);
    EXPECT_NE(run.out.find(
                  "mixed.zip: 5 entries, saving would skip 2, 1 cannot be read; 2 entries with data would be left out"),
              std::string::npos)
        << run.out;
}

TEST(ListCli, AdvanceRepairAlsoFindsEntriesOnlyTheDirectoryPointsAt) {
    TempFolder folder;
    BuiltZip built = BuildZip(
        {Stored("one.txt", "first entry"), Stored("two.txt", "second entry"), Stored("three.txt", "third entry")});
    SetLocalField(built.bytes, built.entries[1], LocalField::Signature, 0);
    const std::string zip = WriteZip(folder, "lost.zip", built.bytes);

    const CliRun quick = RunCli({"list", zip});
    const CliRun advance = RunCli({"list", "--mode", "advance", zip});
    EXPECT_NE(quick.out.find("lost.zip: 2 entries"), std::string::npos) << quick.out;
    EXPECT_NE(advance.out.find("lost.zip: 3 entries"), std::string::npos) << advance.out;
    EXPECT_NE(advance.out.find("two.txt"), std::string::npos);
    EXPECT_NE(quick.out.find("(Quick Repair)"), std::string::npos);
    EXPECT_NE(advance.out.find("(Advance Repair)"), std::string::npos);
}

TEST(ListCli, InputsThatAreNoArchiveExitWithTwoAndNameTheFile) {
    TempFolder folder;
    std::filesystem::create_directory(folder / "folder.zip");
    const struct {
        std::string path, says;
    } cases[] = {
        {(folder / "missing.zip").string(), "cannot open"},
        {(folder / "folder.zip").string(), "folder"},
        {WriteZip(folder, "garbage.zip", Garbage(5000)), "no entries found"},
        {WriteZip(folder, "empty-file.zip", {}), "no entries found"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const CliRun run = RunCli({"list", c.path});
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.err.find(c.path), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("cause"), std::string::npos) << run.err;
    }
}

TEST(ListCli, AnEmptyArchiveIsReadableAndAnUnreadableOneDoesNotHideTheOthers) {
    TempFolder folder;
    const std::string empty = WriteZip(folder, "empty.zip", BuildZip({}).bytes);
    const CliRun alone = RunCli({"list", empty});
    EXPECT_EQ(alone.status, 0) << alone.err;
    EXPECT_NE(alone.out.find("empty.zip: 0 entries"), std::string::npos) << alone.out;

    const std::string good = WriteZip(folder, "good.zip", BuildZip({Stored("a.txt", "a")}).bytes);
    const CliRun mixed = RunCli({"list", (folder / "missing.zip").string(), good});
    EXPECT_EQ(mixed.status, 2);
    EXPECT_NE(mixed.out.find("good.zip: 1 entry"), std::string::npos) << mixed.out;
    EXPECT_NE(mixed.out.find("Total: 2 archives"), std::string::npos) << mixed.out;
}

}  // namespace
}  // namespace tessaly::clitest
