// A whole repair through the real dialogs, from the main dialog on: two
// archives (the second cut
// short in its last entry and without its central directory), the preview's rows, Next File,
// Save All, the completion dialog, and what the run leaves on disk and in
// the activity log.
#include <gtest/gtest.h>

#include <wx/checkbox.h>

#include <algorithm>
#include <regex>

#include "app/main/VarrowDlg.h"
#include "tests/support/Damage.h"
#include "tests/support/TempFolder.h"
#include "tests/wizard/WizardHarness.h"
#include "workflow/EntryFormat.h"
#include "workflow/dialogs/EntryList.h"
#include "workflow/dialogs/FileSave.h"
#include "workflow/dialogs/Preview.h"
#include "workflow/dialogs/ProgressBar.h"
#include "workflow/dialogs/ViewLog.h"

namespace tessaly::testwizard {
namespace {

using testzip::Bytes;
using testzip::Deflated;
using testzip::Stored;

// The log of the whole run, its start time masked.
const char* const kExpectedSteps = R"(



********************************* Start Log File ********************************

******************************Tessaly for Zip*****************************

Version 2.0
Date    D
Time    T

************************* Step 1 :- Source Files Selection ***********************

Source Files :
______________

1-   A
2-   B


Repair Mode  :      Quick Repair
______________

Skip Preview Status :    FALSE
____________________

************************* Step 2 :- Analysis Of Files*****************************

Total Files Count :    2
___________________

File Number :      1
File Name   :      A
Number Of Files Extracted  :      3


File Number :      2
File Name   :      B
Number Of Files Extracted  :      3




*************************** Step 3 :- Files Saving********************************

Destination Files Path :
________________________


OUT/TL_Recovered_Zip  7-12-2026  3-25-40
OUT/TL_Recovered_Zip  7-12-2026  3-25-41

******************* Repairing Completed successfully***********************************)";

std::string MaskStartTime(const std::string& log) {
    const std::string dated = std::regex_replace(log, std::regex(R"(Date    \d+\\\d+\\\d+)"), "Date    D");
    return std::regex_replace(dated, std::regex(R"(Time    \d+:\d+:\d+)"), "Time    T");
}

class EndToEndTest : public WizardTest {
protected:
    // Three entries, intact.
    std::string WriteFirst() {
        return WriteArchive("first.zip", {Stored("readme.txt", m_readme), Deflated("docs/guide.txt", m_guide),
                                          Stored("data.bin", m_data)});
    }
    // Three entries; the archive ends in the middle of the third's data and
    // has lost its central directory.
    std::string WriteSecond() {
        testzip::BuiltZip zip =
            testzip::BuildZip({Stored("one.txt", m_one), Deflated("two/two.txt", m_two), Stored("three.txt", m_three)});
        testzip::DropCentralDirectory(zip);
        const auto& third = zip.entries.at(2);
        testzip::TruncateAt(zip.bytes, third.dataStart + (third.dataEnd - third.dataStart) / 2);
        return WriteArchive("second.zip", zip.bytes);
    }

    Bytes m_readme = testzip::ToBytes("read me first\n");
    Bytes m_guide = testzip::TextContent("guide", 3000);
    Bytes m_data = testzip::NoiseContent(7, 1536);
    Bytes m_one = testzip::TextContent("one", 700);
    Bytes m_two = testzip::TextContent("two", 5000);
    Bytes m_three = testzip::TextContent("three", 4000);
};

TEST_F(EndToEndTest, TwoArchivesPreviewedAndSavedLeaveTheirFilesAndTheLog) {
    const std::string first = WriteFirst();
    const std::string second = WriteSecond();
    m_picker.zipFiles = {first, second};
    std::vector<EntryRow> firstRows;
    std::vector<EntryRow> secondRows;
    bool completionUnchecked = false;

    m_script
        .When(
            "main dialog up", [] { return Shown<CVarrowDlg>() != nullptr; },
            [] {
                Press(Shown<CVarrowDlg>(), IDC_BROWSE);
                Press(Shown<CVarrowDlg>(), IDC_REPAIR);
            })
        .When("archive 1 analysed", Analysed(1),
              [&] {
                  firstRows = Shown<CPreview>()->EntryList()->Rows();
                  Press(Shown<CPreview>(), IDC_PREVIEW_NEXT_FILE);
              })
        .When("archive 2 analysed", Analysed(2),
              [&] {
                  secondRows = Shown<CPreview>()->EntryList()->Rows();
                  Press(Shown<CPreview>(), IDC_PREVIEW_SAVE_ALL);
              })
        .When(
            "completion shown", [] { return Shown<CViewLog>() != nullptr; },
            [&] {
                CViewLog* completion = Shown<CViewLog>();
                completionUnchecked = !completion->ViewLogCheck()->IsChecked();
                Press(completion, IDC_VIEW_LOG_OK);
            })
        .When("process ended", ProcessEnded(), [] { EndPreview(); })
        .When(
            "main dialog back", [] { return Shown<CVarrowDlg>() && !Shown<CPreview>(); },
            [] { Shown<CVarrowDlg>()->EndModal(wxID_CANCEL); });
    m_script.Run([this] {
        CVarrowDlg::Options options;
        options.programFolder = m_sandbox.Program();
        options.splashMs = 0;
        options.wizard = m_services;
        CVarrowDlg main(options);
        main.ShowModal();
    });

    // The preview's rows for archive 1, in archive order.
    ASSERT_EQ(firstRows.size(), 3u);
    EXPECT_EQ(firstRows[0].name, "readme.txt");
    EXPECT_EQ(firstRows[0].size, "14   Bytes");
    EXPECT_EQ(firstRows[0].ratio, "100%");
    EXPECT_EQ(firstRows[1].name, "docs\\guide.txt");
    EXPECT_EQ(firstRows[1].size, "2   KB");
    EXPECT_EQ(firstRows[1].crc, std::to_string(testzip::Crc32(m_guide)));
    EXPECT_EQ(firstRows[2].name, "data.bin");
    EXPECT_EQ(firstRows[2].size, "1   KB");
    ASSERT_EQ(secondRows.size(), 3u);
    EXPECT_EQ(secondRows[0].name, "one.txt");
    EXPECT_EQ(secondRows[1].name, "two\\two.txt");
    EXPECT_EQ(secondRows[2].name, "three.txt");
    EXPECT_TRUE(completionUnchecked);

    // Two output folders, one per archive, with the salvaged files.
    const auto firstOut = Out() / "TL_Recovered_Zip  7-12-2026  3-25-40";
    const auto secondOut = Out() / "TL_Recovered_Zip  7-12-2026  3-25-41";
    EXPECT_EQ(testzip::ListFilesBelow(firstOut),
              (std::vector<std::string>{"data.bin", "docs/guide.txt", "readme.txt"}));
    EXPECT_EQ(testzip::ReadFileBytes(firstOut / "readme.txt"), m_readme);
    EXPECT_EQ(testzip::ReadFileBytes(firstOut / "docs/guide.txt"), m_guide);
    EXPECT_EQ(testzip::ReadFileBytes(firstOut / "data.bin"), m_data);
    EXPECT_EQ(testzip::ListFilesBelow(secondOut), (std::vector<std::string>{"one.txt", "three.txt", "two/two.txt"}));
    EXPECT_EQ(testzip::ReadFileBytes(secondOut / "one.txt"), m_one);
    EXPECT_EQ(testzip::ReadFileBytes(secondOut / "two/two.txt"), m_two);
    // The cut entry keeps the bytes that are there.
    const Bytes cut = testzip::ReadFileBytes(secondOut / "three.txt");
    EXPECT_EQ(cut.size(), m_three.size() / 2);
    EXPECT_TRUE(std::equal(cut.begin(), cut.end(), m_three.begin()));

    std::string expected = Crlf(kExpectedSteps);
    for (const char* prefix : {"      ", "-   "}) {
        expected = ReplaceAll(expected, prefix + std::string("A\r\n"), prefix + first + "\r\n");
        expected = ReplaceAll(expected, prefix + std::string("B\r\n"), prefix + second + "\r\n");
    }
    expected = ReplaceAll(expected, "OUT/", (Out() / "").make_preferred().string());
    EXPECT_EQ(MaskStartTime(LogText()), expected);
    EXPECT_EQ(m_endCalls, 1);
    EXPECT_TRUE(Messages().empty());
}

}  // namespace
}  // namespace tessaly::testwizard
