// Saving as the user sees it: the folders made, the files in them, the two
// bars, the labels, the log, and what Pause, Stop, close and Escape do.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <iterator>
#include <ostream>
#include <thread>

#include "core/Settings.h"
#include "tests/workflow/WorkflowFixture.h"

namespace tessaly::testflow {
namespace {

using testzip::Stored;

class SavingTest : public WorkflowTest {
protected:
    std::string ThreeEntryArchive(const std::string& name) {
        return WriteArchive(name, {Stored(name + "-1.txt", "one"), Stored(name + "-2.txt", "two"),
                                   Stored("sub/" + name + "-3.txt", "three")});
    }
    std::string Folder(const std::string& suffix = "") const {
        return (Out() / ("TL_Recovered_Zip  7-12-2026  3-25-40" + suffix)).string();
    }
};

TEST_F(SavingTest, SaveAllOverThreeArchivesGivesEachItsOwnFolderAndStepsTheOverallBar) {
    Select({ThreeEntryArchive("a"), ThreeEntryArchive("b"), ThreeEntryArchive("c")});
    SaveAll(Out());  // all three reached within the same second

    // Each archive done brings the Overall bar to its share; it moves in
    // between as each archive's work is done.
    EXPECT_TRUE(StepsThrough(savingView_.Values("overall"), {33, 66}));
    EXPECT_EQ(savingView_.Texts("number"), (std::vector<std::string>{"1", "2", "3"}));
    EXPECT_EQ(savingView_.Texts("total"), (std::vector<std::string>{"3"}));
    EXPECT_EQ(savingView_.Texts("name"),
              (std::vector<std::string>{job_.GetSourcePath(0), job_.GetSourcePath(1), job_.GetSourcePath(2)}));
    const std::vector<std::string> folders = {Folder(), Folder(" (2)"), Folder(" (3)")};
    EXPECT_EQ(savingView_.Texts("folder"), folders);
    const char* names[] = {"a", "b", "c"};
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(testzip::ListFilesBelow(folders[i]),
                  (std::vector<std::string>{std::string(names[i]) + "-1.txt", std::string(names[i]) + "-2.txt",
                                            "sub/" + std::string(names[i]) + "-3.txt"}));
    EXPECT_EQ(LogText(),
              "\r\n\r\n*************************** Step 3 :- Files Saving********************************"
              "\r\n\r\nDestination Files Path :\r\n________________________\r\n\r\n"
              "\r\n" +
                  folders[0] + "\r\n" + folders[1] + "\r\n" + folders[2]);
    EXPECT_EQ(saving_.AfterFinished(), AfterSaving::ShowCompletion);
}

TEST_F(SavingTest, WithOneArchiveTheOverallBarMirrorsTheCurrentBar) {
    Select({ThreeEntryArchive("a")});
    SaveAll(Out());
    EXPECT_EQ(savingView_.Values("overall"), savingView_.Values("current"));
    EXPECT_EQ(savingView_.Values("current").back(), 100);
}

// The Current bar follows the work: the scan's share, then entry by entry
// as their data is extracted, and 100 once the archive is done (not 98
// from the scan's end until the last entry).
TEST_F(SavingTest, CurrentBarMovesWithTheEntriesExtractedAndReachesOneHundredAtTheEnd) {
    std::vector<testzip::EntryToWrite> entries;
    for (int i = 0; i < 12; ++i)
        entries.push_back(Stored("noise" + std::to_string(i) + ".bin",
                                 testzip::NoiseContent(static_cast<std::uint32_t>(i + 1), 25000)));
    Select({WriteArchive("big.zip", entries), ThreeEntryArchive("b")});
    SaveAll(Out());
    const auto current = savingView_.Values("current");
    // The first archive's values run up to its 100; the second restarts at 0.
    const auto restart = std::find(current.begin() + 1, current.end(), 0);
    const std::vector<int> first(current.begin(), restart);
    EXPECT_TRUE(StepsThrough(first, {25})) << "the scan's share ends at 25";
    // Twelve entries of equal size: a step for each, evenly spread.
    std::vector<int> extracting;
    std::copy_if(first.begin(), first.end(), std::back_inserter(extracting), [](int v) { return v > 25 && v < 100; });
    EXPECT_GE(extracting.size(), 11u) << ::testing::PrintToString(first);
    ASSERT_FALSE(extracting.empty());
    EXPECT_LE(extracting.front(), 25 + 75 / 12 + 1);
    EXPECT_GE(extracting.back(), 100 - 75 / 12 - 1);
    EXPECT_EQ(testzip::ListFilesBelow(Folder()).size(), 12u);
}

// One entry larger than a block: the bar moves while its data is written,
// not only when it is done.
TEST_F(SavingTest, CurrentBarMovesWithinALargeEntry) {
    Select({WriteArchive("large.zip", {Stored("large.bin", testzip::NoiseContent(9, 12 * 1024 * 1024))})});
    SaveAll(Out());
    const auto current = savingView_.Values("current");
    EXPECT_TRUE(StepsThrough(current, {25}));
    const auto within = std::count_if(current.begin(), current.end(), [](int v) { return v > 25 && v < 100; });
    EXPECT_GE(within, 3) << ::testing::PrintToString(current);
    EXPECT_EQ(savingView_.Values("overall"), current);
}

TEST_F(SavingTest, MissingTinyAndSignaturelessArchivesAreSkippedAndTheRunGoesOn) {
    const std::string missing = (In() / "deleted.zip").string();
    const std::string tiny = WriteArchive("tiny.zip", testzip::Garbage(100));
    const std::string noSignature = WriteArchive("none.zip", testzip::Garbage(3000));
    Select({ThreeEntryArchive("a"), missing, tiny, noSignature, ThreeEntryArchive("e")});
    SaveAll(Out());

    EXPECT_TRUE(StepsThrough(savingView_.Values("overall"), {20, 40, 60, 80}));
    const auto folders = savingView_.Texts("folder");
    ASSERT_EQ(folders.size(), 5u);
    EXPECT_EQ(testzip::ListFilesBelow(folders[0]).size(), 3u);
    for (int i = 1; i < 4; ++i) EXPECT_TRUE(testzip::ListFilesBelow(folders[i]).empty());
    EXPECT_EQ(testzip::ListFilesBelow(folders[4]).size(), 3u);
    EXPECT_TRUE(savingView_.Has("finished"));
}

TEST_F(SavingTest, SaveCurrentFileSavesTheShownArchiveAndReturnsToThePreview) {
    Select({ThreeEntryArchive("a"), ThreeEntryArchive("b")});
    job_.m_nCurrentFile = 2;
    job_.m_bSaveCurrentOnly = 1;
    job_.m_szCurrentFileDest = Out().string();
    saving_.Start(savingView_);
    ASSERT_TRUE(savingView_.WaitFor("finished"));
    EXPECT_EQ(savingView_.Texts("number"), (std::vector<std::string>{"1"}));
    EXPECT_EQ(savingView_.Texts("total"), (std::vector<std::string>{"1"}));
    EXPECT_EQ(savingView_.Texts("name"), (std::vector<std::string>{job_.GetSourcePath(1)}));
    EXPECT_EQ(savingView_.Values("overall"), savingView_.Values("current"));
    EXPECT_EQ(testzip::ListFilesBelow(Folder()), (std::vector<std::string>{"b-1.txt", "b-2.txt", "sub/b-3.txt"}));
    EXPECT_EQ(saving_.AfterFinished(), AfterSaving::BackToPreview);
    EXPECT_EQ(job_.m_bSaveCurrentOnly, 0);
}

TEST_F(SavingTest, SaveCurrentFileWithOneArchiveEndsInTheCompletionDialog) {
    Select({ThreeEntryArchive("a")});
    job_.m_nCurrentFile = 1;
    job_.m_bSaveCurrentOnly = 1;
    job_.m_szCurrentFileDest = Out().string();
    saving_.Start(savingView_);
    ASSERT_TRUE(savingView_.WaitFor("finished"));
    EXPECT_EQ(saving_.AfterFinished(), AfterSaving::ShowCompletion);
    EXPECT_EQ(job_.m_bSaveCurrentOnly, 0);
}

TEST_F(SavingTest, PauseThenStopThenNoLeavesItPausedUntilResume) {
    Select({ThreeEntryArchive("a")});
    ScanCheckpoint checkpoint(saving_.ScanProgress());
    job_.m_szAllFilesDest = Out().string();
    saving_.Start(savingView_);
    checkpoint.WaitUntilReached();
    saving_.OnPause();
    checkpoint.LetGo();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const std::size_t before = savingView_.Count();
    EXPECT_EQ(savingView_.Events().back(), "pause-text Resume");

    savingView_.ScriptAnswers({MessageAnswer::No});
    EXPECT_EQ(saving_.OnStop(), UserChoice::Continued);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(savingView_.Count(), before + 1);  // only the question
    EXPECT_EQ(savingView_.Events().back(), "message Saving is in Process,Do you want to Stop?");
    EXPECT_TRUE(saving_.IsPaused());
    EXPECT_EQ(endCalls_, 0);

    saving_.OnPause();
    ASSERT_TRUE(savingView_.WaitFor("finished"));
    EXPECT_TRUE(savingView_.Has("pause-text Pause"));
    EXPECT_EQ(testzip::ListFilesBelow(Folder()).size(), 3u);
}

struct EndingCase {
    const char* name;
    UserChoice (CSavingRun::*handler)();
    const char* question;
    bool notice;
    friend void PrintTo(const EndingCase& c, std::ostream* os) { *os << c.name; }
};

class SavingEnding : public SavingTest, public ::testing::WithParamInterface<EndingCase> {};

TEST_P(SavingEnding, YesLogsTheAbortAndEndsTheProgram) {
    const EndingCase& c = GetParam();
    Select({ThreeEntryArchive("a")});
    ScanCheckpoint checkpoint(saving_.ScanProgress());
    job_.m_szAllFilesDest = Out().string();
    saving_.Start(savingView_);
    checkpoint.WaitUntilReached();

    savingView_.ScriptAnswers({MessageAnswer::Yes});
    EXPECT_EQ((saving_.*c.handler)(), UserChoice::ProcessEnded);
    checkpoint.LetGo();
    saving_.Wait();
    EXPECT_EQ(endCalls_, 1);
    const auto messages = savingView_.Messages();
    ASSERT_EQ(messages.size(), c.notice ? 2u : 1u);
    EXPECT_EQ(messages[0].text, c.question);
    EXPECT_EQ(messages[0].caption, AppTitle);
    EXPECT_EQ(messages[0].buttons, MessageButtons::YesNo);
    if (c.notice) {
        EXPECT_EQ(messages[1].text, "Saving aborted by user.");
        EXPECT_EQ(messages[1].icon, MessageIcon::Information);
    }
    const std::string abort = "\r\n\r\n******************* Repairing aborted***********************************";
    const std::string log = LogText();
    EXPECT_EQ(log.substr(log.size() - abort.size()), abort);
    EXPECT_FALSE(savingView_.Has("finished"));
}

INSTANTIATE_TEST_SUITE_P(
    Ways, SavingEnding,
    ::testing::Values(EndingCase{"Stop", &CSavingRun::OnStop, "Saving is in Process,Do you want to Stop?", true},
                      EndingCase{"CloseBox", &CSavingRun::OnClose, "Saving is in Process,Do you want to exit?", false},
                      EndingCase{"Escape", &CSavingRun::OnEscape, "Saving is in process, Do you want to exit ? ",
                                 false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tessaly::testflow
