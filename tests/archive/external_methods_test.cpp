// BZip2 and LZMA archives made by other writers: 7-Zip's command-line tool
// (`7zz`, Debian package 7zip) and Python's zipfile module, healthy and cut
// in the middle of their large entry, in both repair modes. Skipped, with
// the reason, where a writer is not installed.
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archive/CompressionMethods.h"
#include "tests/archive/SalvageRun.h"
#include "tests/support/Damage.h"
#include "tests/support/Portable.h"

namespace tessaly::archivetest {
namespace {

using namespace testzip;

struct Writer {
    const char* label;
    const char* tool;     // what must be installed
    const char* command;  // run in the folder holding the files; {} is the method
    const char* method;   // as the writer names it
    std::uint16_t zipMethod;
};

const Writer kWriters[] = {
    {"SevenZipBZip2", "7zz", "7zz a -tzip -mm={} -bd -bso0 -bsp0 out.zip a_large.txt b_small.bin", "BZip2", 12},
    {"SevenZipLzma", "7zz", "7zz a -tzip -mm={} -bd -bso0 -bsp0 out.zip a_large.txt b_small.bin", "LZMA", 14},
    {"PythonBZip2", "python3",
     "python3 -c \"import zipfile;z=zipfile.ZipFile('out.zip','w',zipfile.{});"
     "z.write('a_large.txt');z.write('b_small.bin');z.close()\"",
     "ZIP_BZIP2", 12},
    {"PythonLzma", "python3",
     "python3 -c \"import zipfile;z=zipfile.ZipFile('out.zip','w',zipfile.{});"
     "z.write('a_large.txt');z.write('b_small.bin');z.close()\"",
     "ZIP_LZMA", 14},
};

void PrintTo(const Writer& w, std::ostream* os) { *os << w.label; }

class OtherWriters : public ::testing::TestWithParam<std::tuple<Writer, RepairMode>> {
protected:
    void SetUp() override {
        const Writer& w = writer();
        if (!IsReadableMethod(w.zipMethod)) GTEST_SKIP() << w.method << " is not in this build";
        const std::string missing = ReferenceToolMissing(w.tool);
        if (!missing.empty()) GTEST_SKIP() << missing;
        // Each writer's archive is made once, for both modes and both cases.
        static std::map<std::string, Bytes> made;
        if (made.count(w.label) == 0) {
            TempFolder folder("tessaly-writers");
            WriteFileBytes(folder / "a_large.txt", large_);
            WriteFileBytes(folder / "b_small.bin", small_);
            std::string command = w.command;
            command.replace(command.find("{}"), 2, w.method);
            ASSERT_EQ(std::system(("cd '" + folder.Path().string() + "' && " + command).c_str()), 0) << command;
            made[w.label] = ReadFileBytes(folder / "out.zip");
        }
        archive_ = made[w.label];
    }
    const Writer& writer() const { return std::get<0>(GetParam()); }

    // Three BZip2 blocks of 900 000 bytes: a cut in the middle leaves at
    // least one whole (a block is decoded whole or not at all).
    const Bytes large_ = TextContent("large", 2700000);
    const Bytes small_ = NoiseContent(3, 3000);
    Bytes archive_;
};

TEST_P(OtherWriters, HealthyArchiveComesOutExact) {
    SalvageRun run(archive_, std::get<1>(GetParam()));
    ASSERT_EQ(run.Count(), 2u);
    EXPECT_EQ(run.entries[0].info.method, writer().zipMethod);
    EXPECT_TRUE(IsIntact(run, "a_large.txt", large_));
    EXPECT_TRUE(IsIntact(run, "b_small.bin", small_));
}

TEST_P(OtherWriters, CutInTheLargeEntryKeepsItsStart) {
    TruncateAt(archive_, archive_.size() / 2);
    SalvageRun run(archive_, std::get<1>(GetParam()));
    const EntryRun* entry = run.Find("a_large.txt");
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->report.outcome, ExtractOutcome::Truncated) << entry->report.detail;
    const std::optional<Bytes> written = run.FileContent("a_large.txt");
    ASSERT_TRUE(written.has_value());
    EXPECT_TRUE(IsPrefix(*written, large_));
    EXPECT_GT(written->size(), large_.size() / 5);
}

INSTANTIATE_TEST_SUITE_P(Table, OtherWriters, ::testing::Combine(::testing::ValuesIn(kWriters), kBothModes),
                         [](const ::testing::TestParamInfo<std::tuple<Writer, RepairMode>>& info) {
                             return std::string(std::get<0>(info.param).label) + "_" +
                                    ModeName(std::get<1>(info.param));
                         });

}  // namespace
}  // namespace tessaly::archivetest
