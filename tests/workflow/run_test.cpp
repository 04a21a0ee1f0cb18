// A whole repair as the activity log records it, and what every step
// leaves of the user's own archives.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "archive/ZipException.h"
#include "log/LogSections.h"
#include "platform/FileException.h"
#include "platform/FileSystem.h"
#include "tests/workflow/WorkflowFixture.h"

namespace tessaly::testflow {
namespace {

using testzip::Stored;

class WholeRunTest : public WorkflowTest {};

std::string ReplaceAll(std::string text, const std::string& what, const std::string& with) {
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
    return text;
}

// The activity log of a run that starts the program, selects two archives
// in Quick mode, analyses archive 1 (three entries listed), saves all to
// the output folder and completes; written into an empty file.
const char* const kExpectedRun = R"(



********************************* Start Log File ********************************

******************************Tessaly for Zip*****************************

Version 2.0
Date    7\12\2026
Time    3:24:26

************************* Step 1 :- Source Files Selection ***********************

Source Files :
______________

1-   D:\in\a.zip
2-   D:\in\b.zip


Repair Mode  :      Quick Repair
______________

Skip Preview Status :    FALSE
____________________

************************* Step 2 :- Analysis Of Files*****************************

Total Files Count :    2
___________________

File Number :      1
File Name   :      D:\in\a.zip
Number Of Files Extracted  :      3




*************************** Step 3 :- Files Saving********************************

Destination Files Path :
________________________


D:\out\TL_Recovered_Zip  7-12-2026  3-25-40
D:\out\TL_Recovered_Zip  7-12-2026  3-25-41

******************* Repairing Completed successfully***********************************)";

TEST_F(WholeRunTest, LogOfACompleteRunMatchesTheDocumentedLayout) {
    const std::string a = WriteArchive("a.zip", {Stored("1.txt", "1"), Stored("2.txt", "2"), Stored("3.txt", "3")});
    const std::string b = WriteArchive("b.zip", {Stored("4.txt", "4")});
    SetTimes({At(2026, 12, 7, 3, 25, 40), At(2026, 12, 7, 3, 25, 41)});

    LogProgramStart(At(2026, 12, 7, 3, 24, 26));
    Select({a, b});
    LogSourceSelection(job_.SourcePaths(), job_.m_nRepairMode, job_.m_bSkipPreview != 0);
    LogAnalysisHeading(job_.m_nSourceCount);
    Analyse(1);
    SaveAll(Out());
    ASSERT_EQ(saving_.AfterFinished(), AfterSaving::ShowCompletion);
    LogRepairCompleted();

    std::string expected = ReplaceAll(kExpectedRun, "\n", "\r\n");
    expected = ReplaceAll(expected, "D:\\in\\a.zip", a);
    expected = ReplaceAll(expected, "D:\\in\\b.zip", b);
    expected = ReplaceAll(expected, "D:\\out\\", Out().string() + kFolderSeparator);
    EXPECT_EQ(LogText(), expected);
}

TEST_F(WholeRunTest, PreviewListsExactlyWhatSavingWritesForAnArchiveWithADamagedStart) {
    std::vector<testzip::EntryToWrite> entries;
    for (int i = 0; i < 20; ++i)
        entries.push_back(
            Stored("dir/part" + std::to_string(i) + ".txt", testzip::TextContent("part" + std::to_string(i), 300)));
    auto built = testzip::BuildZip(entries);
    testzip::ZeroRange(built.bytes, 0, 1500);
    Select({WriteArchive("damaged.zip", built.bytes)});
    Analyse(1);
    SaveAll(Out());

    std::vector<std::string> listed;
    for (const auto& row : analysisView_.Rows()) {
        std::string name = row.name;
        std::replace(name.begin(), name.end(), '\\', '/');
        listed.push_back(name);
    }
    std::sort(listed.begin(), listed.end());
    EXPECT_FALSE(listed.empty());
    EXPECT_LT(listed.size(), 20u);
    EXPECT_EQ(listed, testzip::ListFilesBelow(savingView_.Texts("folder").at(0)));
}

// Whatever saving's rule leaves out (junk, unusable or missing names,
// encryption no password opens, and whatever else it skips) is left out of
// the preview and its count alike; everything else is listed.
TEST_F(WholeRunTest, PreviewAndLogCountExactlyTheEntriesSavingDoesNotLeaveOut) {
    auto locked = Stored("locked.txt", "sealed");
    locked.flagsOverride = 0x0041;  // strong encryption
    const std::vector<testzip::EntryToWrite> entries = {
        Stored("a.txt", "a"),        Stored("folder/", ""),         Stored("empty.txt", ""),
        Stored("junk\x01.txt", "j"), Stored("", "no name"),         locked,
        Stored("../../up.txt", "u"), Stored("deep/dir/b.txt", "b"), testzip::Deflated("c.txt", "ccc")};
    Select({WriteArchive("mixed.zip", entries)});
    Analyse(1);
    SaveAll(Out());

    const int listed = static_cast<int>(analysisView_.Rows().size());
    const ArchiveSavingSummary& saved = saving_.Summary().archives.at(0);
    EXPECT_EQ(saved.whole + saved.damaged + saved.truncated + saved.notWritten, listed);
    EXPECT_EQ(saved.leftOut, static_cast<int>(entries.size()) - listed);
    EXPECT_GE(saved.leftOut, 3);  // the junk name, the empty name and the encrypted entry at least
    EXPECT_NE(LogText().find("Number Of Files Extracted  :      " + std::to_string(listed) + "\r\n"),
              std::string::npos);
}

TEST_F(WholeRunTest, TheUsersArchivesAreNeverModified) {
    const std::string a = WriteArchive("a.zip", {Stored("x.txt", "x"), Stored("y.txt", "y")});
    std::filesystem::permissions(a, std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
    const testzip::Bytes before = testzip::ReadFileBytes(a);
    const auto modeBefore = std::filesystem::status(a).permissions();
    const auto timeBefore = std::filesystem::last_write_time(a);

    Select({a});
    Analyse(1);
    SaveAll(Out());

    EXPECT_EQ(testzip::ReadFileBytes(a), before);
    EXPECT_TRUE(std::filesystem::status(a).permissions() == modeBefore);
    EXPECT_TRUE(std::filesystem::last_write_time(a) == timeBefore);
    EXPECT_EQ(analysisView_.Rows().size(), 2u);
    EXPECT_EQ(testzip::ListFilesBelow(savingView_.Texts("folder").at(0)).size(), 2u);
}

TEST(RepairJobTest, SourcePathsByIndexWithEmptyTextPastTheEnd) {
    CRepairJob job;
    job.AppendSourcePath("/in/a.zip");
    job.AppendSourcePath("/in/b.zip");
    EXPECT_EQ(job.GetSourcePath(0), "/in/a.zip");
    EXPECT_EQ(job.GetSourcePath(1), "/in/b.zip");
    EXPECT_EQ(job.GetSourcePath(2), "");
    EXPECT_EQ(job.GetSourcePath(-1), "");
    job.ClearSourcePaths();
    job.AppendSourcePath("/in/c.zip");
    EXPECT_EQ(job.GetSourcePath(0), "/in/c.zip");
    EXPECT_EQ(job.GetSourcePath(1), "");
}

}  // namespace
}  // namespace tessaly::testflow

namespace tessaly::testflow {
namespace {

// Makes the archive layer's scan fail with `fault` at its first report.
template <typename Fault>
void FailScansWith(ProgressHook& hook, Fault fault) {
    hook = [fault](std::uint64_t, std::uint64_t, std::uint64_t) { throw fault; };
}

TEST_F(WholeRunTest, ArchiveAndFileErrorsFromTheScanEndNeitherWorker) {
    const std::string a = WriteArchive("a.zip", {Stored("x.txt", "x")});
    const std::string b = WriteArchive("b.zip", {Stored("y.txt", "y")});
    Select({a, b});
    FailScansWith(analysis_.ScanProgress(), CZipException(badArchive, a, 0, "test fault"));
    FailScansWith(saving_.ScanProgress(), CFileException(5, b, "read"));

    Analyse(1);
    EXPECT_TRUE(analysisView_.Messages().empty());
    EXPECT_NE(LogText().find("Number Of Files Extracted  :      "), std::string::npos);

    SaveAll(Out());
    EXPECT_TRUE(StepsThrough(savingView_.Values("overall"), {50}));
    EXPECT_EQ(savingView_.Texts("folder").size(), 2u);
    EXPECT_EQ(saving_.AfterFinished(), AfterSaving::ShowCompletion);
    // Nothing came of either archive, and the summary says so.
    EXPECT_EQ(saving_.Summary().UnreadableArchives(), 2);
}

}  // namespace
}  // namespace tessaly::testflow
