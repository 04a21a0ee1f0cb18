// The command-line tool on archives whose entries use every compression
// method this build reads: the whole ones come out byte-exact with "ok",
// a corrupt one is "damaged" and keeps its start, a cut one is "truncated",
// and `list` marks none of them as unreadable. Several entries of 4 MiB and
// more go through the threads and the background writer.
#include <gtest/gtest.h>

#include "archive/CompressionMethods.h"
#include "tests/cli/CliRunner.h"
#include "tests/support/Damage.h"
#include "tests/support/Encoders.h"
#include "tests/support/TempFolder.h"

namespace tessaly::clitest {
namespace {

using namespace testzip;

bool BuildReadsAll() {
    for (Codec codec : {Codec::BZip2, Codec::Lzma, Codec::Xz, Codec::Zstd})
        if (!HaveEncoder(codec) || !IsReadableMethod(CodecMethod(codec))) return false;
    return true;
}

std::vector<EntryToWrite> OneOfEach() {
    EntryToWrite streamed = Compressed(Codec::Xz, "streamed/log.txt", TextContent("log", 80000));
    streamed.streamed = true;
    return {Compressed(Codec::BZip2, "docs/bzip2.txt", TextContent("bzip2", 300000)),
            Compressed(Codec::LzmaEndMarker, "lzma-marker.bin", NoiseContent(4, 50000)),
            Compressed(Codec::Lzma, "lzma.txt", TextContent("lzma", 120000)),
            streamed,
            Compressed(Codec::Zstd, "big/zstd.txt", TextContent("zstd", 5 << 20)),
            Deflated("deflate.txt", TextContent("deflate", 9000))};
}

TEST(MethodsCli, EveryMethodComesOutByteExactInBothModes) {
    if (!BuildReadsAll()) GTEST_SKIP() << "not every compression library is in this build";
    const auto entries = OneOfEach();
    TempFolder folder;
    const std::string zip = WriteZip(folder, "methods.zip", BuildZip(entries).bytes);
    for (const char* mode : {"quick", "advance"}) {
        SCOPED_TRACE(mode);
        const auto out = folder / (std::string("out-") + mode);
        const CliRun run = RunCli({"extract", "--mode", mode, "-d", out.string(), zip});
        EXPECT_EQ(run.status, 0) << run.out << run.err;
        EXPECT_EQ(LinesStartingWith(run.out, "ok ").size(), entries.size()) << run.out;
        for (const EntryToWrite& e : entries) EXPECT_EQ(ReadFileBytes(out / e.name), e.data) << e.name;
    }
    const CliRun list = RunCli({"list", zip});
    EXPECT_EQ(list.status, 0) << list.out << list.err;
    EXPECT_EQ(list.out.find("cannot be read"), std::string::npos) << list.out;
}

TEST(MethodsCli, CorruptAndCutEntriesKeepTheirStartAndSpareTheOthers) {
    if (!BuildReadsAll()) GTEST_SKIP() << "not every compression library is in this build";
    const auto entries = OneOfEach();
    BuiltZip built = BuildZip(entries);
    const EntryLayout& bzip2 = built.entries[0];
    FillRange(built.bytes, bzip2.dataStart + (bzip2.dataEnd - bzip2.dataStart) * 3 / 4, 32, 0x33);
    const EntryLayout& zstd = built.entries[4];
    TruncateAt(built.bytes, zstd.dataStart + (zstd.dataEnd - zstd.dataStart) / 2);
    TempFolder folder;
    const std::string zip = WriteZip(folder, "damaged.zip", built.bytes);
    const CliRun run = RunCli({"extract", "-d", (folder / "out").string(), zip});
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    EXPECT_EQ(LinesStartingWith(run.out, "damaged ").size(), 1u) << run.out;
    EXPECT_EQ(LinesStartingWith(run.out, "truncated ").size(), 1u) << run.out;
    EXPECT_EQ(LinesStartingWith(run.out, "ok ").size(), 3u) << run.out;
    for (std::size_t i : {1, 2, 3}) EXPECT_EQ(ReadFileBytes(folder / "out" / entries[i].name), entries[i].data);
    for (std::size_t i : {0, 4}) {
        const Bytes written = ReadFileBytes(folder / "out" / entries[i].name);
        EXPECT_GT(written.size(), entries[i].data.size() / 3) << entries[i].name;
        EXPECT_TRUE(std::equal(written.begin(), written.begin() + static_cast<std::ptrdiff_t>(written.size() / 2),
                               entries[i].data.begin()))
            << entries[i].name;
    }
}

}  // namespace
}  // namespace tessaly::clitest
