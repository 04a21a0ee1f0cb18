// Stop and Escape in every dialog of the wizard: what a Yes and a No leave
// behind in the dialogs, on disk and in the log, and when the process ends.
#include <gtest/gtest.h>

#include <wx/button.h>

#include "tests/support/ZipWriter.h"
#include "tests/wizard/WizardHarness.h"
#include "workflow/dialogs/EntryList.h"
#include "workflow/dialogs/FileSave.h"
#include "workflow/dialogs/Preview.h"
#include "workflow/dialogs/ProgressBar.h"
#include "workflow/dialogs/ViewLog.h"

namespace tessaly::testwizard {
namespace {

using testzip::Stored;

constexpr const char* kAnalysisStop = "Do you want to Stop the analysis process ";
constexpr const char* kAnalysisExit = "Do you want to exit ? ";
constexpr const char* kSavingStop = "Saving is in Process,Do you want to Stop?";
constexpr const char* kSavingEscape = "Saving is in process, Do you want to exit ? ";
constexpr const char* kAborted = "******************* Repairing aborted***********************************";
constexpr const char* kCompleted = "Repairing Completed successfully";

class LeavingTest : public WizardTest {
protected:
    // Big enough for the archive layer's scan to report progress.
    std::string Archive() {
        std::vector<testzip::EntryToWrite> entries;
        for (int i = 0; i < 12; ++i)
            entries.push_back(
                Stored("part" + std::to_string(i) + ".txt", testzip::TextContent("part" + std::to_string(i), 900)));
        return WriteArchive("big.zip", entries);
    }
    // True once `hold` has caught the worker and `Dialog` is up.
    template <typename Dialog>
    static std::function<bool()> Held(const ScanHold& hold) {
        return [&hold] { return hold.Reached() && Shown<Dialog>() != nullptr; };
    }
    std::size_t FilesSaved() const {
        std::size_t count = 0;
        for (const auto& folder : std::filesystem::directory_iterator(Out()))
            count += testzip::ListFilesBelow(folder.path()).size();
        return count;
    }
};

TEST_F(LeavingTest, StopInTheAnalysisWithYesKeepsNothingOfIt) {
    Select({Archive()});
    ScanHold hold(m_analysis.ScanProgress());
    OnMessage(kAnalysisStop, [&] { hold.LetGo(); });
    int rows = -1;
    bool saveCurrent = true;
    m_script.When("worker held", Held<CProgressBar>(hold), [] { Press(Shown<CProgressBar>(), IDC_ANALYSIS_STOP); })
        .When("analysis closed", Analysed(1), [&] {
            rows = Shown<CPreview>()->EntryList()->RowCount();
            saveCurrent = Shown<CPreview>()->FindWindow(IDC_PREVIEW_SAVE_CURRENT)->IsEnabled();
            Press(Shown<CPreview>(), IDC_PREVIEW_BACK);
        });
    RunPreview();

    EXPECT_EQ(rows, 0);
    EXPECT_FALSE(saveCurrent);
    EXPECT_EQ(CountInLog("Number Of Files Extracted"), 0);
    EXPECT_EQ(m_endCalls, 0);
}

TEST_F(LeavingTest, StopInTheAnalysisWithNoLetsItFinish) {
    Select({Archive()});
    ScanHold hold(m_analysis.ScanProgress());
    Answer(kAnalysisStop, MessageAnswer::No);
    OnMessage(kAnalysisStop, [&] { hold.LetGo(); });
    int rows = -1;
    m_script.When("worker held", Held<CProgressBar>(hold), [] { Press(Shown<CProgressBar>(), IDC_ANALYSIS_STOP); })
        .When("analysis done", Analysed(1), [&] {
            rows = Shown<CPreview>()->EntryList()->RowCount();
            Press(Shown<CPreview>(), IDC_PREVIEW_BACK);
        });
    RunPreview();

    EXPECT_EQ(rows, 12);
    EXPECT_EQ(CountInLog("Number Of Files Extracted  :      12"), 1);
}

TEST_F(LeavingTest, PauseThenStopWithNoLeavesTheAnalysisHeldAndResumable) {
    Select({Archive()});
    ScanHold hold(m_analysis.ScanProgress());
    Answer(kAnalysisStop, MessageAnswer::No);
    wxString afterNo;
    m_script
        .When("worker held", Held<CProgressBar>(hold),
              [&] {
                  Press(Shown<CProgressBar>(), IDC_ANALYSIS_PAUSE);
                  hold.LetGo();
                  Press(Shown<CProgressBar>(), IDC_ANALYSIS_STOP);
                  afterNo = Shown<CProgressBar>()->FindWindow(IDC_ANALYSIS_PAUSE)->GetLabel();
              })
        .When(
            "still paused", [] { return Shown<CProgressBar>() != nullptr; },
            [] { Press(Shown<CProgressBar>(), IDC_ANALYSIS_PAUSE); })
        .When("analysis done", Analysed(1), [] { Press(Shown<CPreview>(), IDC_PREVIEW_BACK); });
    RunPreview();

    EXPECT_EQ(afterNo, "Resume");
    EXPECT_EQ(CountInLog("Number Of Files Extracted  :      12"), 1);
}

TEST_F(LeavingTest, TheAnalysisCloseBoxActsAsStop) {
    Select({Archive()});
    ScanHold hold(m_analysis.ScanProgress());
    OnMessage(kAnalysisStop, [&] { hold.LetGo(); });
    m_script.When("worker held", Held<CProgressBar>(hold), [] { Shown<CProgressBar>()->Close(); })
        .When("analysis closed", Analysed(1), [] { Press(Shown<CPreview>(), IDC_PREVIEW_BACK); });
    RunPreview();

    EXPECT_EQ(CountMessages(kAnalysisStop), 1);
    EXPECT_EQ(CountInLog("Number Of Files Extracted"), 0);
    EXPECT_EQ(m_endCalls, 0);
}

TEST_F(LeavingTest, EscapeInTheAnalysisEndsTheProcessOnYesOnly) {
    Select({Archive()});
    ScanHold hold(m_analysis.ScanProgress());
    Answer(kAnalysisExit, MessageAnswer::No);
    OnMessage(kAnalysisExit, [&] { hold.LetGo(); });
    int endsAfterNo = -1;
    m_script
        .When("worker held", Held<CProgressBar>(hold),
              [&] {
                  PressEscape(Shown<CProgressBar>());
                  endsAfterNo = m_endCalls;
                  PressEscape(Shown<CProgressBar>());
              })
        .When("process ended", ProcessEnded(), [] { EndPreview(); });
    RunPreview();

    EXPECT_EQ(endsAfterNo, 0);
    EXPECT_EQ(m_endCalls, 1);
    EXPECT_EQ(CountMessages(kAnalysisExit), 2);
}

TEST_F(LeavingTest, EnterNeitherClosesTheAnalysisNorThePreview) {
    Select({Archive()});
    ScanHold hold(m_analysis.ScanProgress());
    bool analysisStayed = false;
    bool previewStayed = false;
    m_script
        .When("worker held", Held<CProgressBar>(hold),
              [&] {
                  PressKey(Shown<CProgressBar>(), WXK_RETURN);
                  analysisStayed = Shown<CProgressBar>() != nullptr && Shown<CProgressBar>()->IsModal();
                  hold.LetGo();
              })
        .When("analysis done", Analysed(1), [&] {
            PressKey(Shown<CPreview>(), WXK_RETURN);
            previewStayed = Shown<CPreview>() != nullptr && Shown<CPreview>()->IsModal();
            Press(Shown<CPreview>(), IDC_PREVIEW_BACK);
        });
    RunPreview();

    EXPECT_TRUE(analysisStayed);
    EXPECT_TRUE(previewStayed);
    EXPECT_EQ(Messages(), std::vector<std::string>{"Do you want to go to previous step ?"});
    EXPECT_EQ(CountInLog("Number Of Files Extracted  :      12"), 1);
}

TEST_F(LeavingTest, StopWhileSavingWithYesLogsTheAbortAndEndsTheProcess) {
    Select({Archive()});
    ScanHold hold(m_saving.ScanProgress());
    OnMessage(kSavingStop, [&] { hold.LetGo(); });
    m_script.When("analysed", Analysed(1), [] { Press(Shown<CPreview>(), IDC_PREVIEW_SAVE_ALL); })
        .When("worker held", Held<CFileSave>(hold), [] { Press(Shown<CFileSave>(), IDC_SAVING_STOP); })
        .When("process ended", ProcessEnded(), [] { EndPreview(); });
    RunPreview();

    EXPECT_EQ(Messages(), (std::vector<std::string>{kSavingStop, "Saving aborted by user."}));
    EXPECT_EQ(CountInLog(kAborted), 1);
    EXPECT_EQ(CountInLog(kCompleted), 0);
    EXPECT_EQ(m_endCalls, 1);
    EXPECT_EQ(FilesSaved(), 0u);
}

TEST_F(LeavingTest, StopWhileSavingWithNoSavesEverything) {
    Select({Archive()});
    ScanHold hold(m_saving.ScanProgress());
    Answer(kSavingStop, MessageAnswer::No);
    OnMessage(kSavingStop, [&] { hold.LetGo(); });
    m_script.When("analysed", Analysed(1), [] { Press(Shown<CPreview>(), IDC_PREVIEW_SAVE_ALL); })
        .When("worker held", Held<CFileSave>(hold), [] { Press(Shown<CFileSave>(), IDC_SAVING_STOP); })
        .When(
            "completion shown", [] { return Shown<CViewLog>() != nullptr; },
            [] { Press(Shown<CViewLog>(), IDC_VIEW_LOG_OK); })
        .When("process ended", ProcessEnded(), [] { EndPreview(); });
    RunPreview();

    EXPECT_EQ(CountInLog(kAborted), 0);
    EXPECT_EQ(CountInLog(kCompleted), 1);
    EXPECT_EQ(FilesSaved(), 12u);
}

TEST_F(LeavingTest, EscapeWhileSavingLogsTheAbortAndEndsTheProcess) {
    Select({Archive()});
    ScanHold hold(m_saving.ScanProgress());
    OnMessage(kSavingEscape, [&] { hold.LetGo(); });
    m_script.When("analysed", Analysed(1), [] { Press(Shown<CPreview>(), IDC_PREVIEW_SAVE_ALL); })
        .When("worker held", Held<CFileSave>(hold), [] { PressEscape(Shown<CFileSave>()); })
        .When("process ended", ProcessEnded(), [] { EndPreview(); });
    RunPreview();

    EXPECT_EQ(Messages(), std::vector<std::string>{kSavingEscape});
    EXPECT_EQ(CountInLog(kAborted), 1);
    EXPECT_EQ(m_endCalls, 1);
}

TEST_F(LeavingTest, EscapeInThePreviewAsksAndEndsTheProcessOnYes) {
    Select({Archive()});
    const std::string question = "Do you want to exit ?        ";
    Answer(question, MessageAnswer::No);
    int endsAfterNo = -1;
    m_script.When("analysed", Analysed(1), [&] {
        PressEscape(Shown<CPreview>());
        endsAfterNo = m_endCalls;
        PressEscape(Shown<CPreview>());
    });
    RunPreview();

    EXPECT_EQ(endsAfterNo, 0);
    EXPECT_EQ(m_endCalls, 1);
    EXPECT_EQ(Messages(), (std::vector<std::string>{question, question}));
}

TEST_F(LeavingTest, EscapeInTheCompletionDialogAsksAndLogsTheCompletionOnce) {
    Select({Archive()});
    const std::string question = " Saving Process is in running, Do you want to exit ? ";
    Answer(question, MessageAnswer::No);
    int endsAfterNo = -1;
    bool stayedUp = false;
    m_script.When("analysed", Analysed(1), [] { Press(Shown<CPreview>(), IDC_PREVIEW_SAVE_ALL); })
        .When(
            "completion shown", [] { return Shown<CViewLog>() != nullptr; },
            [&] {
                PressEscape(Shown<CViewLog>());
                endsAfterNo = m_endCalls;
                stayedUp = Shown<CViewLog>() != nullptr;
                PressEscape(Shown<CViewLog>());
            })
        .When("process ended", ProcessEnded(), [] { EndPreview(); });
    RunPreview();

    EXPECT_EQ(endsAfterNo, 0);
    EXPECT_TRUE(stayedUp);
    EXPECT_EQ(m_endCalls, 1);
    EXPECT_EQ(CountInLog(kCompleted), 1);
}

}  // namespace
}  // namespace tessaly::testwizard
