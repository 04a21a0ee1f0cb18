// Deflate64 entries (method 9) salvaged through the archive layer in both
// repair modes: healthy, streamed, cut and corrupt. Skipped until extraction
// reads method 9 with the Deflate64 decoder.
#include <gtest/gtest.h>

#include "archive/CompressionMethods.h"
#include "tests/archive/SalvageRun.h"
#include "tests/support/Damage.h"
#include "tests/support/Deflate64Writer.h"

namespace tessaly::archivetest {
namespace {

using namespace testzip;

// Noise repeated from 50 000 and 64 KiB back, between text: the window's
// far end and lengths beyond 258.
Bytes FarRepeats() {
    Bytes data = TextContent("far", 30000);
    const Bytes noise = NoiseContent(9, 50000);
    data.insert(data.end(), noise.begin(), noise.end());
    data.insert(data.end(), noise.begin(), noise.end());
    data.insert(data.end(), 15536, 'x');
    data.insert(data.end(), noise.begin(), noise.end());
    return data;
}

EntryToWrite Deflate64Entry(std::string name, Bytes data, bool streamed = false) {
    EntryToWrite e = Stored(std::move(name), data);
    e.rawData = CompressDeflate64(data, {false, 4000});
    e.methodOverride = 9;
    e.streamed = streamed;
    return e;
}

std::vector<EntryToWrite> Entries() {
    return {Deflated("d0.txt", TextContent("d0", 20000)), Deflate64Entry("far.bin", FarRepeats()),
            Deflate64Entry("streamed.txt", TextContent("streamed", 90000), true),
            Stored("s3.bin", NoiseContent(3, 3000))};
}

class Deflate64Entries : public ::testing::TestWithParam<RepairMode> {
protected:
    void SetUp() override {
        if (!IsReadableMethod(9)) GTEST_SKIP() << "extraction does not read method 9 (Deflate64) in this build";
    }
};

TEST_P(Deflate64Entries, HealthyEntriesComeOutWhole) {
    const std::vector<EntryToWrite> inputs = Entries();
    const SalvageRun run(BuildZip(inputs).bytes, GetParam());
    ASSERT_FALSE(run.openThrew) << run.openError;
    ExpectIntactExcept(run, inputs, {});
}

TEST_P(Deflate64Entries, CutDataKeepsWhatWasThere) {
    const std::vector<EntryToWrite> inputs = Entries();
    BuiltZip zip = BuildZip(inputs);
    const EntryLayout& far = zip.entries[1];
    TruncateAt(zip.bytes, far.dataStart + (far.dataEnd - far.dataStart) / 2);
    const SalvageRun run(zip.bytes, GetParam());
    EXPECT_TRUE(IsIntact(run, "d0.txt", inputs[0].data));
    const EntryRun* cut = run.Find("far.bin");
    ASSERT_NE(cut, nullptr);
    EXPECT_EQ(cut->report.outcome, ExtractOutcome::Truncated) << cut->report.detail << cut->error;
    const std::optional<Bytes> written = run.FileContent("far.bin");
    ASSERT_TRUE(written.has_value());
    EXPECT_TRUE(IsPrefix(*written, inputs[1].data));
    EXPECT_GT(written->size(), inputs[1].data.size() / 4);
}

TEST_P(Deflate64Entries, CorruptDataCostsOnlyItsEntry) {
    const std::vector<EntryToWrite> inputs = Entries();
    BuiltZip zip = BuildZip(inputs);
    const EntryLayout& far = zip.entries[1];
    const std::size_t middle = far.dataStart + (far.dataEnd - far.dataStart) / 2;
    FillRange(zip.bytes, middle, 64, 0xFF);
    const SalvageRun run(zip.bytes, GetParam());
    ExpectIntactExcept(run, inputs, {1});
    const EntryRun* damaged = run.Find("far.bin");
    ASSERT_NE(damaged, nullptr);
    EXPECT_EQ(damaged->report.outcome, ExtractOutcome::Damaged) << damaged->report.detail << damaged->error;
    const std::optional<Bytes> written = run.FileContent("far.bin");
    ASSERT_TRUE(written.has_value());
    EXPECT_GT(written->size(), inputs[1].data.size() / 4);
    EXPECT_TRUE(std::equal(written->begin(), written->begin() + static_cast<std::ptrdiff_t>(inputs[1].data.size() / 4),
                           inputs[1].data.begin()));
}

INSTANTIATE_TEST_SUITE_P(Modes, Deflate64Entries, kBothModes, ModeParamName());

}  // namespace
}  // namespace tessaly::archivetest
