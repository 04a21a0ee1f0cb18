// Limits on what extract writes, and limits the system sets: --max-size and
// --max-ratio stop an entry (reported limited, what was written kept, the
// next entry written), and under a file-size limit (ulimit -f) the tool is
// not killed: the entries that meet it fail with the system's reason, the
// bytes reported are the bytes on disk, later entries are written and the
// summary comes.
#include <gtest/gtest.h>

#include <filesystem>

#include "archive/CompressionMethods.h"
#include "cli/CommandLine.h"
#include "tests/cli/CliRunner.h"
#include "tests/cli/JsonValue.h"
#include "tests/support/Damage.h"
#include "tests/support/Encoders.h"
#include "tests/support/Portable.h"
#include "tests/support/TempFolder.h"

namespace tessaly::clitest {
namespace {

using namespace testzip;

std::uint64_t FileSize(const std::filesystem::path& path) { return std::filesystem::file_size(path); }

TEST(LimitsCli, TheOptionsParseForExtractAndAreRefusedElsewhere) {
    const cli::ParseResult parsed =
        cli::ParseCommandLine({"extract", "--max-ratio", "5000", "--max-size=3G", "-d", "out", "a.zip"});
    ASSERT_TRUE(parsed.ok) << parsed.error;
    EXPECT_EQ(parsed.options.limits.ratio, 5000u);
    EXPECT_EQ(parsed.options.limits.size, std::uint64_t{3} << 30);

    const cli::ParseResult defaults = cli::ParseCommandLine({"extract", "-d", "out", "a.zip"});
    ASSERT_TRUE(defaults.ok);
    EXPECT_EQ(defaults.options.limits.ratio, ExpansionLimits::kDefaultRatio);
    EXPECT_EQ(defaults.options.limits.size, ExpansionLimits::kDefaultSize);

    const struct {
        std::vector<std::string> args;
        std::string mentions;
    } refused[] = {
        {{"extract", "--max-size", "0", "-d", "out", "a.zip"}, "--max-size takes a size"},
        {{"extract", "--max-size=12X", "-d", "out", "a.zip"}, "'12X'"},
        {{"extract", "--max-ratio", "-3", "-d", "out", "a.zip"}, "--max-ratio takes a whole number"},
        {{"extract", "-d", "out", "a.zip", "--max-ratio"}, "needs a value"},
        {{"list", "--max-size", "1M", "a.zip"}, "--max-size belongs to extract"},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.mentions);
        const CliRun run = RunCli(c.args);
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.err.find(c.mentions), std::string::npos) << run.err;
    }
}

TEST(LimitsCli, SizesTakeBinaryUnitsAndNeverWrapAround) {
    EXPECT_EQ(cli::ParseByteCount("1"), 1u);
    EXPECT_EQ(cli::ParseByteCount("1k"), 1024u);
    EXPECT_EQ(cli::ParseByteCount("500M"), std::uint64_t{500} << 20);
    EXPECT_EQ(cli::ParseByteCount("2T"), std::uint64_t{2} << 40);
    EXPECT_EQ(cli::ParseByteCount("18446744073709551615"), UINT64_MAX);
    EXPECT_EQ(cli::ParseByteCount("17179869183G"), std::uint64_t{17179869183} << 30);
    for (const char* bad : {"", "K", "0", "0K", "18446744073709551616", "17179869184G", "1.5G", "1KB", "-1", " 1"})
        EXPECT_FALSE(cli::ParseByteCount(bad)) << bad;
}

// Entries larger than --max-size are stopped at it, stored or compressed,
// and say so in the text and in JSON; the small entry after them is whole.
TEST(LimitsCli, TheSizeLimitStopsLargeEntriesAndTheRestAreWritten) {
    TempFolder folder;
    const std::string zip =
        WriteZip(folder, "a.zip",
                 BuildZip({Stored("noise.bin", NoiseContent(1, 300000)), Deflated("text.txt", TextContent("t", 300000)),
                           Stored("small.txt", "s")})
                     .bytes);
    const CliRun text = RunCli({"extract", "--max-size", "100K", "-d", (folder / "out").string(), zip});
    EXPECT_EQ(text.status, 1) << text.out << text.err;
    const auto limited = LinesStartingWith(text.out, "limited ");
    ASSERT_EQ(limited.size(), 2u) << text.out;
    EXPECT_NE(limited[0].find("noise.bin  (size limit reached: stopped after 102400 bytes)"), std::string::npos);
    EXPECT_NE(text.out.find("a.zip: 3 entries: 1 ok, 2 limited"), std::string::npos) << text.out;
    EXPECT_EQ(FileSize(folder / "out/noise.bin"), 102400u);
    EXPECT_EQ(FileSize(folder / "out/text.txt"), 102400u);
    EXPECT_EQ(ToString(ReadFileBytes(folder / "out/small.txt")), "s");

    const CliRun json = RunCli({"extract", "--json", "--max-size=100K", "-d", (folder / "json").string(), zip});
    EXPECT_EQ(json.status, 1) << json.err;
    const auto doc = ParseJson(json.out);
    ASSERT_TRUE(doc) << json.out;
    const JsonValue& archive = (*doc)["archives"][0];
    EXPECT_EQ(archive["entries"][1]["outcome"].text, "limited");
    EXPECT_EQ(archive["entries"][1]["bytesWritten"].number, 102400);
    EXPECT_EQ(archive["summary"]["limited"].number, 2);
    EXPECT_EQ((*doc)["total"]["limited"].number, 2);
    EXPECT_EQ((*doc)["status"].number, 1);
}

// A BZip2 stream of a few dozen bytes that expands to 24 MiB, with no size
// anywhere but its data descriptor: the default ratio stops it, and
// --max-ratio raised lets it through whole.
TEST(LimitsCli, AnUnknownSizeBombIsLimitedByDefaultAndWholeWhenTheRatioIsRaised) {
    if (!HaveEncoder(Codec::BZip2) || !IsReadableMethod(12)) GTEST_SKIP() << "BZip2 is not in this build";
    TempFolder folder;
    EntryToWrite bomb = Compressed(Codec::BZip2, "bomb.bin", Bytes(24u << 20, 0));
    bomb.streamed = true;
    BuiltZip built = BuildZip({bomb, Stored("after.txt", "after")});
    DropCentralDirectory(built);
    const std::string zip = WriteZip(folder, "bomb.zip", built.bytes);

    const CliRun limited = RunCli({"extract", "-d", (folder / "default").string(), zip});
    EXPECT_EQ(limited.status, 1) << limited.out << limited.err;
    const auto lines = LinesStartingWith(limited.out, "limited ");
    ASSERT_EQ(lines.size(), 1u) << limited.out;
    EXPECT_NE(lines[0].find("expansion limit reached"), std::string::npos) << lines[0];
    EXPECT_EQ(FileSize(folder / "default/bomb.bin"), 16u << 20);
    EXPECT_EQ(ToString(ReadFileBytes(folder / "default/after.txt")), "after");

    const CliRun whole = RunCli({"extract", "--max-ratio", "10000000", "-d", (folder / "raised").string(), zip});
    EXPECT_EQ(whole.status, 0) << whole.out << whole.err;
    EXPECT_NE(whole.out.find("bomb.zip: 2 entries: 2 ok"), std::string::npos) << whole.out;
    EXPECT_EQ(FileSize(folder / "raised/bomb.bin"), 24u << 20);
}

#ifndef _WIN32
// Under `ulimit -f` (here 200 KiB) SIGXFSZ would end the tool without a
// word. It goes on instead: the medium entry (written by the extracting
// thread) and the large one (by the background writer) fail with "File too
// large", keeping the bytes that fit, which the text and the JSON report
// exactly; the small entries before and after them are written whole.
TEST(LimitsCli, UnderAFileSizeLimitEachEntryIsReportedAndTheSummaryComes) {
    constexpr std::uint64_t kRoom = 200 << 10;
    TempFolder folder;
    const std::string zip = WriteZip(folder, "a.zip",
                                     BuildZip({Stored("first.txt", "first"), Deflated("medium.bin", Bytes(300000, 7)),
                                               Deflated("large.bin", Bytes(5u << 20, 7)), Stored("last.txt", "last")})
                                         .bytes);
    const CliRun text = RunCliUnderFileSizeLimit({"extract", "-d", (folder / "out").string(), zip}, kRoom);
    EXPECT_EQ(text.signal, 0) << "killed by signal " << text.signal;
    EXPECT_EQ(text.status, 1) << text.out << text.err;
    EXPECT_NE(text.out.find("a.zip: 4 entries: 2 ok, 2 failed"), std::string::npos) << text.out;
    const auto failed = LinesStartingWith(text.out, "failed ");
    ASSERT_EQ(failed.size(), 2u) << text.out;
    for (const std::string& line : failed) {
        EXPECT_NE(line.find("File too large"), std::string::npos) << line;
        EXPECT_NE(line.find("its first " + std::to_string(kRoom) + " bytes are kept"), std::string::npos) << line;
    }
    EXPECT_EQ(FileSize(folder / "out/medium.bin"), kRoom);
    EXPECT_EQ(FileSize(folder / "out/large.bin"), kRoom);
    EXPECT_EQ(ToString(ReadFileBytes(folder / "out/last.txt")), "last");

    const CliRun json = RunCliUnderFileSizeLimit({"extract", "--json", "-d", (folder / "json").string(), zip}, kRoom);
    EXPECT_EQ(json.status, 1) << json.err;
    const auto doc = ParseJson(json.out);
    ASSERT_TRUE(doc) << json.out;
    for (const JsonValue& entry : (*doc)["archives"][0]["entries"].items) {
        SCOPED_TRACE(entry["name"].text);
        EXPECT_EQ(entry["bytesWritten"].number, static_cast<double>(FileSize(U8Path(entry["path"].text))));
    }
    EXPECT_EQ((*doc)["archives"][0]["summary"]["failed"].number, 2);
}
#endif

}  // namespace
}  // namespace tessaly::clitest
