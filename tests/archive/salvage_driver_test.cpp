// The salvage driver: the road both front ends take from an opened archive
// to a destination. Several threads give what one thread gives; results come
// in entry order; a stop keeps what was written and starts nothing more; a
// fault costs its entry alone and names its path.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "archive/ZipArchive.h"
#include "archive/output/OutputDestination.h"
#include "archive/salvage/SalvageDriver.h"
#include "tests/archive/SalvageRun.h"
#include "tests/support/Damage.h"
#include "tests/support/TempFolder.h"
#include "tests/support/ZipWriter.h"

namespace tessaly::archivetest {
namespace {

namespace fs = std::filesystem;
using namespace testzip;

// Many entries, a few damaged, some in folders, and (with clashes) two
// more that write the file of an earlier one.
BuiltZip MixedArchive(bool clashes = true) {
    std::vector<EntryToWrite> inputs;
    for (int i = 0; i < 40; ++i) {
        const std::string name = (i % 3 == 0 ? "dir" + std::to_string(i % 4) + "/" : "") + "e" + std::to_string(i);
        inputs.push_back(i % 2 == 0 ? Deflated(name, TextContent(name, 3000 + 97 * i))
                                    : Stored(name, NoiseContent(i, 500 + i)));
    }
    if (clashes) {
        inputs.push_back(Stored("e1", "again"));  // the same name: the later entry's file
        inputs.push_back(Stored("E1", "case"));   // one file where case does not count
    }
    BuiltZip zip = BuildZip(inputs);
    FlipBits(zip.bytes, zip.entries[4].dataStart + 100, 0xFF);
    ZeroRange(zip.bytes, zip.entries[9].dataStart + 10, 40);
    return zip;
}

// Records what the driver hands on, in order, and can stop it.
class Recorder : public SalvageObserver {
public:
    bool StopBefore(std::uint32_t index) override { return stopBefore >= 0 && index == std::uint32_t(stopBefore); }
    void BetweenBlocks(std::uint32_t index) override {
        if (stopInside >= 0 && index == std::uint32_t(stopInside)) throw SalvageStopped();
    }
    void EntryDone(const SalvagedEntry& entry) override {
        const std::lock_guard<std::mutex> lock(mutex);
        handed.push_back(entry.index);
    }
    int stopBefore = -1;
    int stopInside = -1;
    std::mutex mutex;
    std::vector<std::uint32_t> handed;
};

struct Salvaged {
    SalvageResult result;
    std::vector<std::uint32_t> handed;
    std::vector<std::string> files;
};

Salvaged Salvage(const fs::path& archive, const fs::path& folder, unsigned threads, Recorder& recorder,
                 std::size_t bufferSize = 4093) {
    CZipArchive zip;
    zip.convertSlashes = 0;
    zip.OpenArchive(archive, AdvanceRepair);
    OutputDestination destination(folder);
    tessaly::SalvageOptions options;
    options.threads = threads;
    options.bufferSize = bufferSize;
    options.keepEntries = true;
    Salvaged salvaged{SalvageEntries(zip, destination, options, recorder), recorder.handed, ListFilesBelow(folder)};
    zip.CloseArchive(false);
    return salvaged;
}

TEST(SalvageDriver, SeveralThreadsGiveWhatOneThreadGivesInEntryOrder) {
    TempFolder folder;
    WriteFileBytes(folder / "a.zip", MixedArchive().bytes);
    Recorder one, four;
    const Salvaged single = Salvage(folder / "a.zip", folder / "one", 1, one);
    const Salvaged parallel = Salvage(folder / "a.zip", folder / "four", 4, four);

    ASSERT_EQ(single.result.entries.size(), 42u);
    ASSERT_EQ(parallel.result.entries.size(), single.result.entries.size());
    EXPECT_FALSE(parallel.result.stopped);
    EXPECT_EQ(single.files, parallel.files);
    for (std::uint32_t i = 0; i < single.result.entries.size(); ++i) {
        const SalvagedEntry& a = single.result.entries[i];
        const SalvagedEntry& b = parallel.result.entries[i];
        SCOPED_TRACE(a.name);
        EXPECT_EQ(parallel.handed[i], i) << "handed on out of order";
        EXPECT_EQ(b.index, i);
        EXPECT_EQ(a.report.outcome, b.report.outcome);
        EXPECT_EQ(a.report.detail, b.report.detail);
        EXPECT_EQ(a.report.bytesWritten, b.report.bytesWritten);
        EXPECT_EQ(a.report.crc32, b.report.crc32);
        EXPECT_EQ(a.report.outputPath.lexically_relative(folder / "one"),
                  b.report.outputPath.lexically_relative(folder / "four"));
        // Bytes reported are bytes on disk.
        if (fs::is_regular_file(b.report.outputPath) && b.name != "e1") {
            EXPECT_EQ(fs::file_size(b.report.outputPath), b.report.bytesWritten);
        }
    }
    EXPECT_EQ(single.result.entries[4].report.outcome, ExtractOutcome::Damaged);
    EXPECT_EQ(single.result.entries[9].report.outcome, ExtractOutcome::Damaged);
    EXPECT_EQ(ToString(ReadFileBytes(folder / "four" / "e1")), "again");
}

TEST(SalvageDriver, AStopBetweenEntriesStartsNothingMore) {
    TempFolder folder;
    WriteFileBytes(folder / "a.zip", MixedArchive(false).bytes);
    Recorder recorder;
    recorder.stopBefore = 5;
    const Salvaged salvaged = Salvage(folder / "a.zip", folder / "out", 1, recorder);
    EXPECT_TRUE(salvaged.result.stopped);
    ASSERT_EQ(salvaged.result.entries.size(), 5u);
    EXPECT_EQ(salvaged.handed, (std::vector<std::uint32_t>{0, 1, 2, 3, 4}));
    EXPECT_FALSE(fs::exists(folder / "out" / "e5"));
}

// A stop inside an entry keeps the bytes it wrote, reported as they are on
// disk; the entry says it was stopped and no later entry starts.
TEST(SalvageDriver, AStopInsideAnEntryKeepsWhatWasWritten) {
    TempFolder folder;
    WriteFileBytes(folder / "a.zip", MixedArchive(false).bytes);
    Recorder recorder;
    recorder.stopInside = 2;
    const Salvaged salvaged = Salvage(folder / "a.zip", folder / "out", 1, recorder, 1000);
    EXPECT_TRUE(salvaged.result.stopped);
    ASSERT_EQ(salvaged.result.entries.size(), 3u);
    const SalvagedEntry& stopped = salvaged.result.entries[2];
    EXPECT_TRUE(stopped.interrupted);
    EXPECT_EQ(stopped.report.outcome, ExtractOutcome::Failed);
    ASSERT_FALSE(stopped.report.outputPath.empty());
    EXPECT_EQ(fs::file_size(stopped.report.outputPath), stopped.report.bytesWritten);
    EXPECT_GT(stopped.report.bytesWritten, 0u);
}

// A destination that refuses files fails every entry with its reason, and
// the driver goes on to the end.
TEST(SalvageDriver, AFileInPlaceOfTheDestinationFailsEveryEntryWithItsReason) {
    TempFolder folder;
    WriteFileBytes(folder / "a.zip", BuildZip({Stored("x", "1"), Deflated("y", "22")}).bytes);
    WriteFileBytes(folder / "taken", ToBytes("a file"));
    Recorder recorder;
    const Salvaged salvaged = Salvage(folder / "a.zip", folder / "taken", 2, recorder);
    ASSERT_EQ(salvaged.result.entries.size(), 2u);
    for (const SalvagedEntry& entry : salvaged.result.entries) {
        EXPECT_EQ(entry.report.outcome, ExtractOutcome::Failed);
        EXPECT_NE(entry.report.detail.find("cannot create"), std::string::npos) << entry.report.detail;
    }
}

// On one thread each entry is handed on before the next one starts, so the
// file an entry reports is still the one it wrote, even when a later entry
// of the same name replaces it.
TEST(SalvageDriver, OneThreadHandsEachEntryOnBeforeTheNextStarts) {
    class SizeCheck : public SalvageObserver {
    public:
        void EntryDone(const SalvagedEntry& entry) override {
            order.push_back(entry.index);
            if (!entry.report.outputPath.empty()) {
                EXPECT_EQ(fs::file_size(entry.report.outputPath), entry.report.bytesWritten) << entry.index;
            }
        }
        std::vector<std::uint32_t> order;
    };
    TempFolder folder;
    WriteFileBytes(folder / "a.zip", BuildZip({Stored("s", "one"), Stored("x", "x"), Stored("s", "second"),
                                               Deflated("y", "y"), Stored("s", "the third")})
                                         .bytes);
    CZipArchive zip;
    zip.OpenArchive(folder / "a.zip", QuickRepair);
    OutputDestination destination(folder / "out");
    SizeCheck check;
    SalvageEntries(zip, destination, tessaly::SalvageOptions{}, check);
    EXPECT_EQ(check.order, (std::vector<std::uint32_t>{0, 1, 2, 3, 4}));
    EXPECT_EQ(ToString(ReadFileBytes(folder / "out" / "s")), "the third");
}

// Only the selected entries are salvaged, in the order given.
TEST(SalvageDriver, ASelectionSalvagesThoseEntriesAlone) {
    TempFolder folder;
    WriteFileBytes(folder / "a.zip", MixedArchive().bytes);
    CZipArchive zip;
    zip.OpenArchive(folder / "a.zip", QuickRepair);
    OutputDestination destination(folder / "out");
    tessaly::SalvageOptions options;
    options.selection = {7, 3, 1000};
    options.keepEntries = true;
    SalvageObserver quiet;
    const SalvageResult result = SalvageEntries(zip, destination, options, quiet);
    ASSERT_EQ(result.entries.size(), 2u);
    EXPECT_EQ(result.entries[0].index, 7u);
    EXPECT_EQ(result.entries[1].index, 3u);
    EXPECT_EQ(ListFilesBelow(folder / "out"), (std::vector<std::string>{"dir3/e3", "e7"}));
}

}  // namespace
}  // namespace tessaly::archivetest
