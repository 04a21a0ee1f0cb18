// The fuzz targets' harnesses in an ordinary build: every seed passes its
// target's checks and reaches what it was made for (entries decrypted,
// methods decoded, the original bytes back), the archive target's output
// bounds hold on entries made to pass them, and the output-path checks
// name what is wrong with a bad path.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "archive/ExtractReport.h"
#include "fuzz/Deflate64Target.h"
#if TESSALY_WITH_ISAL
#include "fuzz/InflateTarget.h"
#endif
#include "fuzz/NameTarget.h"
#include "fuzz/SalvageTarget.h"
#include "fuzz/Seeds.h"
#include "platform/FileSystem.h"
#include "tests/support/Deflate64Writer.h"
#include "tests/support/ZipWriter.h"

namespace tessaly::fuzz {
namespace {

using namespace testzip;
namespace fs = std::filesystem;

SalvageTally Salvage(const Bytes& bytes, const SalvageLimits& limits = {}) {
    return SalvageBytes(bytes.data(), bytes.size(), limits);
}

std::uint32_t Count(const SalvageTally& tally, ExtractOutcome outcome) {
    return tally.outcomes[static_cast<std::size_t>(outcome)];
}

const Seed& SeedNamed(const std::vector<Seed>& seeds, const std::string& name) {
    for (const Seed& seed : seeds)
        if (seed.name == name) return seed;
    throw std::runtime_error("no seed " + name);
}

TEST(ArchiveFuzzTarget, EverySeedPassesAndLeavesNoFolder) {
    for (const Seed& seed : ArchiveSeeds()) {
        const SalvageTally tally = Salvage(seed.bytes);
        EXPECT_EQ(tally.fault, "") << seed.name;
        EXPECT_TRUE(tally.folderRemoved) << seed.name;
        if (seed.name != "signatures.zip") {  // nothing but signatures
            EXPECT_GT(tally.entries, 0u) << seed.name;
        }
        EXPECT_EQ(tally.stoppedAtLimit, 0u) << seed.name;
    }
}

TEST(ArchiveFuzzTarget, SeedsReachDecryptionAndEveryMethod) {
    const std::vector<Seed> seeds = ArchiveSeeds();
    const SalvageTally encrypted = Salvage(SeedNamed(seeds, "encrypted.zip").bytes);
    EXPECT_EQ(Count(encrypted, ExtractOutcome::Ok), encrypted.entries);
    EXPECT_EQ(Count(encrypted, ExtractOutcome::Encrypted), 0u);
    const SalvageTally methods = Salvage(SeedNamed(seeds, "methods.zip").bytes);
    EXPECT_EQ(Count(methods, ExtractOutcome::Ok), methods.entries);
}

// The archive layer's expansion limit stops each entry, declared size or
// not, and its report (bytes kept on disk) holds up to the target's checks.
TEST(ArchiveFuzzTarget, EntriesPastTheirExpansionLimitAreStoppedInBothModes) {
    const SalvageLimits limits;
    EntryToWrite streamed = Deflated("streamed.bin", Bytes(std::size_t{12} << 20, 0));
    streamed.streamed = true;
    for (const EntryToWrite& entry : {Deflated("zeros.bin", Bytes(std::size_t{3} << 20, 0)), streamed}) {
        const SalvageTally tally = Salvage(BuildZip({entry}).bytes, limits);
        EXPECT_EQ(tally.fault, "") << entry.name;
        EXPECT_EQ(tally.outcomes[static_cast<std::size_t>(ExtractOutcome::Limited)], 2u) << entry.name;
        EXPECT_EQ(tally.bytesWritten, 2u * limits.bytesPerEntry) << entry.name;
    }
}

TEST(ArchiveFuzzTarget, EntriesLeftWhenAModesBlocksAreSpentArePassedOver) {
    std::vector<EntryToWrite> entries;
    for (int i = 0; i < 6; ++i) entries.push_back(Deflated("e" + std::to_string(i), TextContent("e", 100000)));
    SalvageLimits limits;
    limits.blocksPerEntry = 4;
    limits.blocksPerMode = 4;  // the first entry's two blocks, the second entry's two
    const SalvageTally tally = Salvage(BuildZip(entries).bytes, limits);
    EXPECT_EQ(tally.fault, "");
    EXPECT_EQ(tally.entries, 12u);
    EXPECT_EQ(tally.extracted, 4u);
}

TEST(Deflate64FuzzTarget, SeedsDecodeAlikeWholeAndInPieces) {
    for (const Seed& seed : Deflate64Seeds()) EXPECT_EQ(CheckDeflate64(seed.bytes.data(), seed.bytes.size()), "");
}

TEST(Deflate64FuzzTarget, TheGreedySeedGivesItsTextBack) {
    const std::vector<Seed> seeds = Deflate64Seeds();
    const Seed& seed = SeedNamed(seeds, "greedy.d64");
    Deflate64Result decoded;
    ASSERT_EQ(CheckDeflate64(seed.bytes.data(), seed.bytes.size(), &decoded), "");
    EXPECT_EQ(decoded.status, Decompressor::Status::StreamEnd);
    EXPECT_EQ(decoded.output, TextContent("deflate64", 3000));
}

TEST(Deflate64FuzzTarget, AStreamCutShortGivesAPrefixAndTakesEveryByte) {
    const Bytes text = TextContent("cut", 5000);
    Bytes stream = CompressDeflate64(text);
    stream.resize(stream.size() / 2);
    const Deflate64Result result = DecodeDeflate64(stream.data(), stream.size(), 7, 33, std::size_t{1} << 20);
    EXPECT_EQ(result.fault, "");
    EXPECT_EQ(result.status, Decompressor::Status::Running);
    EXPECT_EQ(result.consumed, stream.size());
    ASSERT_LT(result.output.size(), text.size());
    EXPECT_TRUE(std::equal(result.output.begin(), result.output.end(), text.begin()));
}

#if TESSALY_WITH_ISAL
TEST(InflateFuzzTarget, SeedsDecodeAlikeWithIsalAndZlib) {
    for (const Seed& seed : InflateSeeds())
        EXPECT_EQ(CheckInflate(seed.bytes.data(), seed.bytes.size()), "") << seed.name;
}

// The healthy seed reaches what the target is for: ISA-L decodes most of
// it, matches reaching back into the prefix included.
TEST(InflateFuzzTarget, TheHealthySeedIsDecodedByIsal) {
    const std::vector<Seed> seeds = InflateSeeds();
    const Seed& seed = SeedNamed(seeds, "dynamic.deflate");
    DecodeResult decoded;
    std::uint64_t isalBytes = 0;
    ASSERT_EQ(CheckInflate(seed.bytes.data(), seed.bytes.size(), &decoded, &isalBytes), "");
    EXPECT_EQ(decoded.status, Decompressor::Status::StreamEnd);
    const Bytes prefix = InflatePrefixText();
    Bytes expected = prefix;
    const Bytes text = TextContent("inflate", 60000);
    expected.insert(expected.end(), text.begin(), text.end());
    ASSERT_GE(decoded.output.size(), expected.size());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), decoded.output.begin()));
    EXPECT_GT(isalBytes, 60000u);
}
#endif

TEST(NameFuzzTarget, SeedsKeepEveryRule) {
    for (const Seed& seed : NameSeeds())
        EXPECT_EQ(CheckNameMapping(seed.bytes.data(), seed.bytes.size()), "") << seed.name;
}

TEST(NameFuzzTarget, OutputPathFaultsNameWhatIsWrong) {
    const NameRules posix{false, false};
    const NameRules windows{true, true};
    struct Case {
        fs::path path;
        NameRules rules;
        PathCheck check;
        bool faulty;
    };
    const std::string longest(kMaxComponentBytes, 'x');
    const std::vector<Case> cases = {
        {fs::path("a") / "b.txt", posix, PathCheck::Storable, false},
        {fs::path("a") / ".." / "b", posix, PathCheck::Placement, true},
        {fs::path("a") / "." / "b", posix, PathCheck::Placement, true},
        {fs::path("/abs"), posix, PathCheck::Placement, true},
        {fs::path(longest), posix, PathCheck::Storable, false},
        {fs::path(longest + "y"), posix, PathCheck::Storable, true},
        {fs::path(longest + "y"), posix, PathCheck::Text, false},
        {PathFromUtf8("\xC3\xA4"), posix, PathCheck::Storable, false},
        {fs::path("CON.txt"), posix, PathCheck::Storable, false},
        {fs::path("CON.txt"), windows, PathCheck::Storable, true},
        {fs::path("con .txt"), windows, PathCheck::Storable, true},
        {fs::path("CON_.txt"), windows, PathCheck::Storable, false},
        {fs::path("a?b"), windows, PathCheck::Storable, true},
        {fs::path("trail."), windows, PathCheck::Storable, true},
#ifndef _WIN32
        // Bytes that are no UTF-8, and a backslash inside a component, are
        // paths only where a path is bytes.
        {fs::path("bad\xFF"), posix, PathCheck::Text, true},
        {fs::path("bad\xFF"), posix, PathCheck::Placement, false},
        {fs::path("\xED\xA0\x80"), posix, PathCheck::Text, true},  // a surrogate
        {fs::path("back\\slash"), posix, PathCheck::Placement, true},
#endif
    };
    for (const Case& c : cases)
        EXPECT_EQ(OutputPathFault(c.path, c.rules, c.check).empty(), !c.faulty) << c.path.string();
}

}  // namespace
}  // namespace tessaly::fuzz
