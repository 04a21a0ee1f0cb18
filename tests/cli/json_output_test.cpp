// --json: string quoting, and documents from list and extract that parse as
// JSON and say what the text output says.
#include <gtest/gtest.h>

#include "cli/Json.h"
#include "tests/cli/CliRunner.h"
#include "tests/cli/JsonValue.h"
#include "tests/support/TempFolder.h"

namespace tessaly::clitest {
namespace {

using namespace testzip;

TEST(JsonQuote, EscapesWhatJsonRequiresAndRepairsBrokenUtf8) {
    const struct {
        std::string in, out;
    } cases[] = {
        {"plain.txt", "\"plain.txt\""},
        {"say \"hi\"\\now", "\"say \\\"hi\\\"\\\\now\""},
        {std::string("a\x01\x1f\x7f", 4), "\"a\\u0001\\u001f\\u007f\""},
        {"tab\tnew\nline\r", "\"tab\\tnew\\nline\\r\""},
        {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", "\"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80\""},
        {"bad\xFF", "\"bad\xEF\xBF\xBD\""},
        {"overlong\xC0\xAF", "\"overlong\xEF\xBF\xBD\xEF\xBF\xBD\""},
        {"surrogate\xED\xA0\x80", "\"surrogate\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},
        {"cut\xE2\x82", "\"cut\xEF\xBF\xBD\xEF\xBF\xBD\""},
        {std::string("nul\0x", 5), "\"nul\\u0000x\""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(cli::JsonQuote(c.in), c.out);
        EXPECT_TRUE(ParseJson(cli::JsonQuote(c.in)).has_value()) << c.out;
    }
}

TEST(JsonOutput, ListDocumentParsesAndCarriesEveryEntry) {
    TempFolder folder;
    EntryToWrite cp437 = Stored(std::string("na\x8Eve \"q\"\\.txt"), "x");
    const auto zip = folder / "list.zip";
    WriteFileBytes(zip, BuildZip({Deflated("a.txt", TextContent("a", 3000)), cp437, Stored("dir/", "")}).bytes);
    const CliRun run = RunCli({"list", "--json", "--mode", "advance", zip.string()});
    EXPECT_EQ(run.status, 0) << run.err;
    const auto doc = ParseJson(run.out);
    ASSERT_TRUE(doc) << run.out;
    EXPECT_EQ((*doc)["command"].text, "list");
    EXPECT_EQ((*doc)["mode"].text, "advance");
    const JsonValue& archive = (*doc)["archives"][0];
    EXPECT_EQ(archive["archive"].text, zip.string());
    ASSERT_EQ(archive["entries"].items.size(), 3u);
    const JsonValue& first = archive["entries"][0];
    EXPECT_EQ(first["name"].text, "a.txt");
    EXPECT_EQ(first["size"].number, 3000);
    EXPECT_EQ(first["sizeText"].text, "2   KB");
    EXPECT_EQ(first["crc32"].number, Crc32(TextContent("a", 3000)));
    EXPECT_EQ(first["modified"].text, "07 Dec 2024, 12:00:00");
    EXPECT_FALSE(first["skippedByExtract"].boolean);
    EXPECT_EQ(archive["entries"][1]["name"].text, "na\xC3\x84ve \"q\"\\.txt");  // code page 437
    EXPECT_FALSE(archive["entries"][2]["skippedByExtract"].boolean);            // a folder entry makes its folder
    EXPECT_EQ(archive["summary"]["skippedByExtract"].number, 0);
    EXPECT_EQ((*doc)["status"].number, 0);
}

TEST(JsonOutput, ExtractDocumentGivesOutcomesAndUnreadableArchives) {
    TempFolder folder;
    EntryToWrite encrypted = Stored("locked.txt", "secret");
    encrypted.encrypted = true;
    const auto zip = folder / "x.zip";
    WriteFileBytes(zip, BuildZip({Stored("a.txt", "aaa"), encrypted}).bytes);
    const auto missing = folder / "missing.zip";
    const CliRun run = RunCli({"extract", "--json", "-d", (folder / "out").string(), zip.string(), missing.string()});
    EXPECT_EQ(run.status, 2);
    const auto doc = ParseJson(run.out);
    ASSERT_TRUE(doc) << run.out;
    const JsonValue& good = (*doc)["archives"][0];
    EXPECT_EQ(good["destination"].text, (folder / "out" / "x").string());
    EXPECT_EQ(good["entries"][0]["outcome"].text, "ok");
    EXPECT_EQ(good["entries"][0]["bytesWritten"].number, 3);
    EXPECT_EQ(good["entries"][1]["outcome"].text, "encrypted");
    EXPECT_EQ(good["summary"]["ok"].number, 1);
    EXPECT_EQ(good["summary"]["encrypted"].number, 1);
    const JsonValue& bad = (*doc)["archives"][1];
    EXPECT_FALSE(bad["readable"].boolean);
    EXPECT_NE(bad["problem"].text.find("cannot open"), std::string::npos);
    EXPECT_TRUE(bad["entries"].items.empty());
    EXPECT_EQ((*doc)["total"]["entries"].number, 2);
    EXPECT_EQ((*doc)["status"].number, 2);
    EXPECT_NE(run.err.find(missing.string()), std::string::npos);
}

}  // namespace
}  // namespace tessaly::clitest
