// The values the workers compute without touching a file: row texts, bar
// percentages, output folder names.
#include <gtest/gtest.h>

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <string>

#include "tests/support/TempFolder.h"
#include "tests/workflow/WorkflowFixture.h"
#include "workflow/Destination.h"
#include "workflow/EntryFormat.h"
#include "workflow/OutputFolder.h"
#include "workflow/ProgressMath.h"

namespace tessaly {
namespace {

using testflow::At;

// The rows of an analysis show the usual values (see the analysis tests);
// these are the edges no test archive reaches cheaply.
TEST(EntryFormat, EdgesOfSizesRatiosAndTimes) {
    const struct {
        std::uint64_t bytes;
        const char* text;
    } sizes[] = {{0, "0   Bytes"},          {1023, "1023   Bytes"},         {1024, "1   KB"},
                 {1536, "1   KB"},          {1048575, "1023   KB"},         {5242880, "5   MB"},
                 {3221225472ull, "3   GB"}, {5497558138880ull, "5120   GB"}};
    for (const auto& s : sizes) EXPECT_EQ(FormatEntrySize(s.bytes), s.text) << s.bytes;

    EXPECT_EQ(FormatEntryRatio(512, 1536), "33%");
    EXPECT_EQ(FormatEntryRatio(60000000, 100000000), "60%");
    EXPECT_EQ(FormatEntryRatio(7, 0), "0%");
    EXPECT_EQ(FormatEntryRatio(150, 100), "150%");
    EXPECT_EQ(FormatEntryRatio(UINT64_MAX, UINT64_MAX / 2), "200%");  // no overflow on the way
    EXPECT_EQ(FormatEntryCrc(0xFFFFFFFFu), "4294967295");             // unsigned, decimal
    EXPECT_EQ(FormatEntryTime(static_cast<std::time_t>(-1)), "");     // no valid time
}

TEST(ProgressMath, ReportsNeverMoveTheBarBackAndCreepPerScannedPosition) {
    int creep = 0;
    EXPECT_EQ(ProgressFromReport(0, 50, 100, 1, creep, kAnalysisCreep), 50);
    EXPECT_EQ(ProgressFromReport(50, 10, 100, 1, creep, kAnalysisCreep), 50);
    EXPECT_EQ(creep, 1);
    // 2000 lagging steps, in reports of any size, make one point.
    EXPECT_EQ(ProgressFromReport(50, 10, 100, 1998, creep, kAnalysisCreep), 50);
    EXPECT_EQ(ProgressFromReport(50, 10, 100, 3, creep, kAnalysisCreep), 51);
    EXPECT_EQ(creep, 2);  // the steps past the point carry over
    creep = 0;
    EXPECT_EQ(ProgressFromReport(50, 10, 100, 4000, creep, kAnalysisCreep), 52);
    creep = 0;
    EXPECT_EQ(ProgressFromReport(50, 10, 100, 3999, creep, kSavingCreep), 50);
    EXPECT_EQ(ProgressFromReport(50, 10, 100, 1, creep, kSavingCreep), 51);
    EXPECT_EQ(creep, 0);
}

TEST(ProgressMath, CapsOfReportsAndEntries) {
    int creep = 0;
    EXPECT_EQ(ProgressFromReport(0, 100, 100, 1, creep, kAnalysisCreep), 99);
    EXPECT_EQ(ProgressFromReport(0, 100, 100, 1, creep, kSavingCreep), 98);
    EXPECT_EQ(ProgressFromReport(7, 0, 0, 1, creep, kSavingCreep), 7);  // empty file: no division
    EXPECT_EQ(ProgressFromReport(99, 10, 10, 1, creep, kAnalysisCreep), 99);

    EXPECT_EQ(EntryProgress(1, 3, false, 0), 33);
    EXPECT_EQ(EntryProgress(3, 3, true, 0), 100);
    EXPECT_EQ(EntryProgress(2, 3, false, 40), 98);  // 106 capped before the last entry
    EXPECT_EQ(EntryProgress(1, 3, false, 66), 98);  // 99 would step back to 98 later
    EXPECT_EQ(EntryProgress(1, 3, false, 99), 99);  // where the analysis scan's reports stop
    EXPECT_EQ(EntryProgress(3, 3, true, 40), 100);
    EXPECT_EQ(EntryProgress(2, 3, true, 0), 66);  // the last entry of Save Current File
}

TEST(OutputFolderName, DestinationTimeAndRoot) {
    const std::tm when = At(2026, 12, 7, 3, 24, 26);
    EXPECT_EQ(OutputFolderName("D:\\Out", when, '\\'), "D:\\Out\\TL_Recovered_Zip  7-12-2026  3-24-26");
    EXPECT_EQ(OutputFolderName("C:\\", when, '\\'), "C:\\ TL_Recovered_Zip  7-12-2026  3-24-26");
    EXPECT_EQ(OutputFolderName("/home/u/out", At(2026, 3, 1, 9, 5, 7), '/'),
              "/home/u/out/TL_Recovered_Zip  1-3-2026  9-5-7");
    EXPECT_EQ(OutputFolderName("/", when, '/'), "/ TL_Recovered_Zip  7-12-2026  3-24-26");
}

TEST(OutputFolderCreation, NeverSharesAFolderAndReportsFailureByItsName) {
    testzip::TempFolder root("tessaly-out");
    const std::string base = (root / "TL_Recovered_Zip  7-12-2026  3-24-26").string();
    EXPECT_EQ(CreateOutputFolder(base), base);
    EXPECT_EQ(CreateOutputFolder(base), base + " (2)");
    testzip::WriteFileBytes(base + " (3)", testzip::ToBytes("a file, not a folder"));
    EXPECT_EQ(CreateOutputFolder(base), base + " (4)");
    EXPECT_TRUE(std::filesystem::is_directory(base + " (4)"));

    const std::string gone = (root / "no-such-destination" / "TL_Recovered_Zip").string();
    EXPECT_EQ(CreateOutputFolder(gone), gone);
    EXPECT_FALSE(std::filesystem::exists(gone));
    const std::string tooLong = (root / std::string(300, 'x')).string();
    EXPECT_EQ(CreateOutputFolder(tooLong), tooLong);
}

TEST(DestinationCheck, ProbeLeavesTheFolderAsItWas) {
    testzip::TempFolder root("tessaly-dest");
    testzip::WriteFileBytes(root / "1.txt", testzip::ToBytes("the user's own file"));
    EXPECT_EQ(CheckDestination(root.Path().string()), DestinationCheck::Usable);
    EXPECT_EQ(testzip::ListFilesBelow(root.Path()), (std::vector<std::string>{"1.txt"}));
    EXPECT_EQ(testzip::ToString(testzip::ReadFileBytes(root / "1.txt")), "the user's own file");

    EXPECT_EQ(CheckDestination(""), DestinationCheck::Missing);
    EXPECT_EQ(CheckDestination((root / "missing").string()), DestinationCheck::Missing);
    EXPECT_EQ(CheckDestination((root / "1.txt").string()), DestinationCheck::Missing);
}

}  // namespace
}  // namespace tessaly
