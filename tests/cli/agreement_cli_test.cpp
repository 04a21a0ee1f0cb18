// Whole-tool checks across commands: what list says extract would skip is
// what extract skips, and randomly damaged archives never crash the tool,
// never give anything but valid JSON and a status of 0 to 2, and never
// write outside the destination.
#include <gtest/gtest.h>

#include <random>

#include "tests/cli/CliRunner.h"
#include "tests/cli/JsonValue.h"
#include "tests/support/Damage.h"
#include "tests/support/TempFolder.h"

namespace tessaly::clitest {
namespace {

using namespace testzip;

BuiltZip VariedArchive() {
    EntryToWrite encrypted = Stored("locked.txt", "secret");
    encrypted.encrypted = true;
    EntryToWrite streamed = Deflated("streamed.txt", TextContent("s", 9000));
    streamed.streamed = true;
    EntryToWrite streamedStored = Stored("streamed-stored.bin", NoiseContent(4, 3000));
    streamedStored.streamed = true;
    return BuildZip({Deflated("a/b.txt", TextContent("b", 20000)), Stored("dir/", ""), Stored("empty.txt", ""),
                     Stored("junk\x03.txt", "j"), encrypted, streamed, streamedStored, Stored("..", "dots"),
                     Stored("../up.txt", "up"), Stored("noise.bin", NoiseContent(5, 5000))});
}

JsonValue RunJson(const std::vector<std::string>& args) {
    const CliRun run = RunCli(args);
    const auto doc = ParseJson(run.out);
    EXPECT_TRUE(doc) << run.out << run.err;
    return doc ? *doc : JsonValue{};
}

TEST(AgreementCli, ListSaysWhatExtractSkips) {
    TempFolder folder;
    const auto zip = (folder / "varied.zip").string();
    WriteFileBytes(zip, VariedArchive().bytes);
    for (const char* mode : {"quick", "advance"}) {
        SCOPED_TRACE(mode);
        const JsonValue listed = RunJson({"list", "--json", "--mode", mode, zip});
        const JsonValue extracted = RunJson({"extract", "--json", "--mode", mode, "-d", (folder / mode).string(), zip});
        const auto& listEntries = listed["archives"][0]["entries"].items;
        const auto& extractEntries = extracted["archives"][0]["entries"].items;
        ASSERT_EQ(listEntries.size(), extractEntries.size());
        for (std::size_t i = 0; i < listEntries.size(); ++i) {
            const std::string outcome = extractEntries[i]["outcome"].text;
            SCOPED_TRACE(listEntries[i]["name"].text + " -> " + outcome);
            const bool notWritten = outcome == "skipped" || outcome == "encrypted";
            EXPECT_EQ(listEntries[i]["skippedByExtract"].boolean, notWritten);
            if (notWritten) {
                EXPECT_EQ(listEntries[i]["skipReason"].text, extractEntries[i]["detail"].text);
            }
        }
    }
}

// One random kind of damage, at a random place.
void DamageRandomly(BuiltZip& zip, std::mt19937& random) {
    const auto at = [&](std::size_t limit) { return std::uniform_int_distribution<std::size_t>(0, limit)(random); };
    const std::size_t size = zip.bytes.size();
    switch (at(4)) {
        case 0: TruncateAt(zip.bytes, at(size)); break;
        case 1: ZeroRange(zip.bytes, at(size), at(600)); break;
        case 2:
            for (int i = 0; i < 20; ++i) FlipBits(zip.bytes, at(size), static_cast<std::uint8_t>(1u << at(7)));
            break;
        case 3: PrependStub(zip, Garbage(at(3000), static_cast<std::uint32_t>(at(1000))), at(1) == 1); break;
        default: FillRange(zip.bytes, at(size), at(64), static_cast<std::uint8_t>(at(255))); break;
    }
}

TEST(AgreementCli, RandomlyDamagedArchivesNeverCrashOrEscape) {
    std::mt19937 random(20261208);
    TempFolder folder;
    for (int round = 0; round < 25; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        BuiltZip zip = VariedArchive();
        DamageRandomly(zip, random);
        DamageRandomly(zip, random);
        const auto path = (folder / "fuzz.zip").string();
        WriteFileBytes(path, zip.bytes);
        const char* mode = round % 2 == 0 ? "quick" : "advance";
        const CliRun list = RunCli({"list", "--json", "--mode", mode, path});
        const CliRun extract = RunCli({"extract", "--json", "--mode", mode, "-d", (folder / "out").string(), path});
        for (const CliRun* run : {&list, &extract}) {
            EXPECT_GE(run->status, 0) << run->err;
            EXPECT_LE(run->status, 2) << run->err;
            EXPECT_TRUE(ParseJson(run->out)) << run->out;
        }
        for (const std::string& file : ListFilesBelow(folder.Path()))
            EXPECT_TRUE(file == "fuzz.zip" || file.rfind("out/", 0) == 0) << file;
        std::filesystem::remove_all(folder / "out");
    }
}

}  // namespace
}  // namespace tessaly::clitest
