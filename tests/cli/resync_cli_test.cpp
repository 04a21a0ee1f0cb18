// --resync and --no-resync on a Deflate entry broken in its middle: which
// mode reads on past the damage, and the lost ranges JSON gives for the file
// each writes.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "tests/cli/CliRunner.h"
#include "tests/cli/JsonValue.h"
#include "tests/support/DeflateBlocks.h"
#include "tests/support/TempFolder.h"

namespace tessaly::clitest {
namespace {

using namespace testzip;

Bytes ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(ResyncOption, AdvanceReadsOnPastTheDamageAndJsonNamesWhatIsLost) {
    TempFolder folder;
    const Bytes original = NoiseContent(21, 600000);
    BuiltZip zip = BuildZip({Deflated("n.bin", original)});
    const std::size_t start = zip.entries[0].dataStart;
    Bytes stream(zip.bytes.begin() + static_cast<std::ptrdiff_t>(start),
                 zip.bytes.begin() + static_cast<std::ptrdiff_t>(zip.entries[0].dataEnd));
    const auto blocks = BlockBoundaries(stream);
    ASSERT_GE(blocks.size(), 4u);
    BreakBlockHeader(stream, blocks[blocks.size() / 2].bit);
    std::copy(stream.begin(), stream.end(), zip.bytes.begin() + static_cast<std::ptrdiff_t>(start));
    const auto archive = folder / "broken.zip";
    WriteFileBytes(archive, zip.bytes);

    struct Case {
        std::vector<std::string> options;
        bool readsOn;
    };
    const Case cases[] = {{{}, false},
                          {{"--mode", "advance"}, true},
                          {{"--mode", "advance", "--no-resync"}, false},
                          {{"--resync"}, true}};
    int n = 0;
    for (const Case& c : cases) {
        const auto out = folder / ("out" + std::to_string(n++));
        std::vector<std::string> args = {"extract", "--json", "-d", out.string()};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.push_back(archive.string());
        const CliRun run = RunCli(args);
        SCOPED_TRACE(run.out);
        const auto doc = ParseJson(run.out);
        ASSERT_TRUE(doc);
        const JsonValue& entry = (*doc)["archives"][0]["entries"][0];
        EXPECT_EQ("damaged", entry["outcome"].text);
        const Bytes file = ReadAll(out / "n.bin");
        EXPECT_EQ(c.readsOn, file.size() == original.size());
        // Every byte outside the lost ranges is the original's.
        std::vector<bool> lost(file.size(), false);
        for (const JsonValue& range : entry["lost"].items)
            for (auto i = static_cast<std::size_t>(range[0].number); i < range[1].number && i < file.size(); ++i)
                lost[i] = true;
        std::size_t wrong = 0, certain = 0;
        for (std::size_t i = 0; i < file.size(); ++i) {
            if (lost[i]) continue;
            ++certain;
            if (i >= original.size() || file[i] != original[i]) ++wrong;
        }
        EXPECT_EQ(0u, wrong);
        if (c.readsOn) {
            EXPECT_GT(certain, original.size() * 3 / 4);
        }
    }
}

}  // namespace
}  // namespace tessaly::clitest
