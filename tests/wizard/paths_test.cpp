// The preview's ways forward and back: Skip Preview, Save Current File with
// one and with several archives, Back and a second Repair.
#include <gtest/gtest.h>

#include <wx/menu.h>
#include <wx/stattext.h>

#include <algorithm>

#include "log/LogSections.h"
#include "res/MainMenu.h"
#include "tests/support/Damage.h"
#include "tests/support/TempFolder.h"
#include "tests/wizard/WizardHarness.h"
#include "workflow/dialogs/EntryList.h"
#include "workflow/dialogs/Preview.h"
#include "workflow/dialogs/ViewLog.h"

namespace tessaly::testwizard {
namespace {

using testzip::Stored;

constexpr const char* kCompleted = "Repairing Completed successfully";
constexpr const char* kBackQuestion = "Do you want to go to previous step ?";

class PathsTest : public WizardTest {
protected:
    std::vector<std::string> TwoArchives() {
        return {WriteArchive("a.zip", {Stored("a1.txt", "first archive, one"), Stored("a2.txt", "first, two")}),
                WriteArchive("b.zip", {Stored("b1.txt", "second archive, one")})};
    }
    // OK in the completion dialog, then the end of the process.
    void FinishCompletion() {
        m_script.When(
            "completion shown", [] { return Shown<CViewLog>() != nullptr; },
            [] { Press(Shown<CViewLog>(), IDC_VIEW_LOG_OK); });
        m_script.When("process ended", ProcessEnded(), [] { EndPreview(); });
    }
    static wxString Label(int id) { return Shown<CPreview>()->FindWindow(id)->GetLabel(); }
    static bool Enabled(int id) { return Shown<CPreview>()->FindWindow(id)->IsEnabled(); }
    std::size_t OutputFolders() const {
        return std::distance(std::filesystem::directory_iterator(Out()), std::filesystem::directory_iterator());
    }
};

TEST_F(PathsTest, SkipPreviewAnalysesNothingAndSavesEveryArchive) {
    Select(TwoArchives(), QuickRepair, true);
    bool numbersShowTheCount = false;
    bool onlySaveAllAndBack = false;
    m_script.When(
        "notice shown", [this] { return PreviewIdle()() && !Messages().empty(); },
        [&] {
            numbersShowTheCount = Label(IDC_PREVIEW_NUMBER) == "2" && Label(IDC_PREVIEW_TOTAL) == "2";
            onlySaveAllAndBack = Enabled(IDC_PREVIEW_SAVE_ALL) && Enabled(IDC_PREVIEW_BACK) &&
                                 !Enabled(IDC_PREVIEW_SAVE_CURRENT) && !Enabled(IDC_PREVIEW_NEXT_FILE) &&
                                 !Enabled(IDC_PREVIEW_BACK_FILE) &&
                                 !Shown<CPreview>()->GetMenuBar()->IsEnabled(ID_FILE_SAVE_CURRENT);
            Press(Shown<CPreview>(), IDC_PREVIEW_SAVE_ALL);
        });
    FinishCompletion();
    RunPreview();

    EXPECT_EQ(Messages(), std::vector<std::string>{"Analysis completed, click on save all button to continue"});
    EXPECT_TRUE(numbersShowTheCount);
    EXPECT_TRUE(onlySaveAllAndBack);
    EXPECT_EQ(CountInLog("File Number :"), 0);
    EXPECT_EQ(OutputFolders(), 2u);
    EXPECT_EQ(CountInLog(kCompleted), 1);
}

TEST_F(PathsTest, SaveCurrentFileWithOneArchiveEndsInTheCompletionDialog) {
    Select({TwoArchives().front()});
    bool navigationOff = false;
    m_script.When("analysed", Analysed(1), [&] {
        navigationOff = !Enabled(IDC_PREVIEW_NEXT_FILE) && !Enabled(IDC_PREVIEW_BACK_FILE);
        Press(Shown<CPreview>(), IDC_PREVIEW_SAVE_CURRENT);
    });
    FinishCompletion();
    RunPreview();

    EXPECT_TRUE(navigationOff);
    ASSERT_EQ(OutputFolders(), 1u);
    EXPECT_EQ(testzip::ListFilesBelow(std::filesystem::directory_iterator(Out())->path()),
              (std::vector<std::string>{"a1.txt", "a2.txt"}));
    EXPECT_EQ(CountInLog(kCompleted), 1);
    EXPECT_EQ(m_job.m_bSaveCurrentOnly, 0);
}

TEST_F(PathsTest, SaveCurrentFileWithSeveralArchivesReturnsToThePreview) {
    Select(TwoArchives());
    bool previewStayedUp = false;
    m_script.When("archive 1 analysed", Analysed(1), [] { Press(Shown<CPreview>(), IDC_PREVIEW_SAVE_CURRENT); })
        .When(
            "saved", [this] { return PreviewIdle()() && OutputFolders() == 1; },
            [&] {
                previewStayedUp = Shown<CPreview>() != nullptr;
                Press(Shown<CPreview>(), IDC_PREVIEW_NEXT_FILE);
            })
        .When("archive 2 analysed", Analysed(2), [] { Press(Shown<CPreview>(), IDC_PREVIEW_SAVE_CURRENT); })
        .When(
            "saved again", [this] { return PreviewIdle()() && OutputFolders() == 2; },
            [] { Press(Shown<CPreview>(), IDC_PREVIEW_BACK); });
    RunPreview();

    EXPECT_TRUE(previewStayedUp);
    EXPECT_EQ(CountInLog(kCompleted), 0);
    EXPECT_EQ(m_endCalls, 0);
    EXPECT_EQ(Messages(), std::vector<std::string>{kBackQuestion});
    std::vector<std::string> saved;
    for (const auto& folder : std::filesystem::directory_iterator(Out()))
        for (const auto& file : testzip::ListFilesBelow(folder.path())) saved.push_back(file);
    std::sort(saved.begin(), saved.end());
    EXPECT_EQ(saved, (std::vector<std::string>{"a1.txt", "a2.txt", "b1.txt"}));
}

TEST_F(PathsTest, BackEmptiesTheJobAndASecondRepairStartsFromTheFirstArchive) {
    Select(TwoArchives());
    Answer(kBackQuestion, MessageAnswer::No);
    bool stayedAfterNo = false;
    m_script.When("archive 1 analysed", Analysed(1), [] { Press(Shown<CPreview>(), IDC_PREVIEW_NEXT_FILE); })
        .When("archive 2 analysed", Analysed(2), [&] {
            Press(Shown<CPreview>(), IDC_PREVIEW_BACK);
            stayedAfterNo = Shown<CPreview>() != nullptr && !m_job.SourcePaths().empty();
            Press(Shown<CPreview>(), IDC_PREVIEW_BACK);
        });
    RunPreview();
    EXPECT_TRUE(stayedAfterNo);
    EXPECT_TRUE(m_job.SourcePaths().empty());
    EXPECT_EQ(CountInLog("Return Back to Previoue Step "), 1);

    Select({WriteArchive("c.zip", {Stored("c1.txt", "c"), Stored("c2.txt", "cc"), Stored("c3.txt", "ccc")})});
    wxString number, total;
    int rows = 0;
    m_script.When("new selection analysed", Analysed(1), [&] {
        number = Label(IDC_PREVIEW_NUMBER);
        total = Label(IDC_PREVIEW_TOTAL);
        rows = Shown<CPreview>()->EntryList()->RowCount();
        Press(Shown<CPreview>(), IDC_PREVIEW_BACK);
    });
    RunPreview();
    EXPECT_EQ(number, "1");
    EXPECT_EQ(total, "1");
    EXPECT_EQ(rows, 3);
}

// Both repair modes: what the preview lists for a damaged archive is what
// saving writes.
TEST_F(PathsTest, EachRepairModeSavesExactlyTheRowsThePreviewListed) {
    std::vector<testzip::EntryToWrite> entries;
    for (int i = 0; i < 8; ++i)
        entries.push_back(testzip::Deflated("dir/part" + std::to_string(i) + ".txt",
                                            testzip::TextContent("part" + std::to_string(i), 2000)));
    testzip::BuiltZip zip = testzip::BuildZip(entries);
    testzip::ZeroRange(zip.bytes, zip.entries[2].localHeader, 30);
    testzip::DropCentralDirectory(zip);
    const std::string archive = WriteArchive("damaged.zip", zip.bytes);

    for (RepairMode mode : {QuickRepair, AdvanceRepair}) {
        std::filesystem::remove_all(Out());
        std::filesystem::create_directories(Out());
        Select({archive}, mode);
        std::vector<std::string> listed;
        m_script.When("analysed", Analysed(1), [&] {
            for (const EntryRow& row : Shown<CPreview>()->EntryList()->Rows())
                listed.push_back(ReplaceAll(row.name, "\\", "/"));
            Press(Shown<CPreview>(), IDC_PREVIEW_SAVE_ALL);
        });
        FinishCompletion();
        RunPreview();

        std::sort(listed.begin(), listed.end());
        EXPECT_FALSE(listed.empty()) << RepairModeLogName(mode);
        ASSERT_EQ(OutputFolders(), 1u);
        EXPECT_EQ(testzip::ListFilesBelow(std::filesystem::directory_iterator(Out())->path()), listed)
            << RepairModeLogName(mode);
    }
}

TEST_F(PathsTest, NavigationFollowsThePositionInTheSelection) {
    auto paths = TwoArchives();
    paths.push_back(WriteArchive("empty-listing.zip", testzip::Garbage(500)));
    Select(paths);
    std::vector<std::string> states;
    auto record = [&] {
        states.push_back(std::string(Enabled(IDC_PREVIEW_BACK_FILE) ? "back " : "") +
                         (Enabled(IDC_PREVIEW_NEXT_FILE) ? "next " : "") +
                         (Enabled(IDC_PREVIEW_SAVE_CURRENT) ? "current " : "") +
                         Label(IDC_PREVIEW_NUMBER).ToStdString());
    };
    m_script
        .When("1", Analysed(1),
              [&] {
                  record();
                  Press(Shown<CPreview>(), IDC_PREVIEW_NEXT_FILE);
              })
        .When("2", Analysed(2),
              [&] {
                  record();
                  Press(Shown<CPreview>(), IDC_PREVIEW_NEXT_FILE);
              })
        .When("3", Analysed(3), [&] {
            record();
            Press(Shown<CPreview>(), IDC_PREVIEW_BACK);
        });
    RunPreview();
    EXPECT_EQ(states, (std::vector<std::string>{"next current 1", "back next current 2", "back 3"}));
    // The third file holds no header: the worker's notice, answered on the
    // interface thread while the worker waits, then the Back question.
    EXPECT_EQ(Messages(),
              (std::vector<std::string>{"File is highly corrupted or version not supported.Recovery not possible.",
                                        "Do you want to go to previous step ?"}));
}

}  // namespace
}  // namespace tessaly::testwizard
