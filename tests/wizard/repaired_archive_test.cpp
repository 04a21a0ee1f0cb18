// File > Save Repaired Archive… in the preview, as a person uses it: the
// menu item beside Save All, the save picker proposing a name beside the
// archive, the repair under the saving dialog with Stop, the message at its
// end, and a file that cannot take the repaired archive refused before
// anything is written. The new archive is the command-line tool's, byte for
// byte.
#include <gtest/gtest.h>

#include <wx/menu.h>

#include <filesystem>

#include "log/LogSections.h"
#include "platform/FileSystem.h"
#include "res/MainMenu.h"
#include "tests/cli/CliRunner.h"
#include "tests/support/Damage.h"
#include "tests/wizard/WizardHarness.h"
#include "workflow/RepairingSummary.h"
#include "workflow/dialogs/FileSave.h"
#include "workflow/dialogs/Preview.h"

namespace tessaly::testwizard {
namespace {

namespace fs = std::filesystem;
using testzip::Deflated;
using testzip::Stored;

constexpr const char* kStoppedText = "Saving the repaired archive stopped by user. Nothing was saved.";

// One entry only the central directory names (Advance Repair finds it,
// Quick Repair does not), one corrupted halfway, and a stub in front.
testzip::Bytes DamagedArchive() {
    testzip::BuiltZip zip = testzip::BuildZip({
        Stored("readme.txt", "read me first"),
        Deflated("lost/header.txt", testzip::TextContent("lost", 5000)),
        Deflated("big.txt", testzip::TextContent("big", 60000)),
        Stored("noise.bin", testzip::NoiseContent(7, 20000)),
    });
    testzip::SetLocalField(zip.bytes, zip.entries[1], testzip::LocalField::Signature, 0);
    const testzip::EntryLayout& big = zip.entries[2];
    testzip::FillRange(zip.bytes, big.dataStart + (big.dataEnd - big.dataStart) / 2, 80, 0x5A);
    testzip::PrependStub(zip, testzip::Garbage(700), true);
    return zip.bytes;
}

class RepairedArchiveTest : public WizardTest {
protected:
    // Chooses the menu item once the shown archive was analysed, and ends
    // the preview once it is idle again after the repair's message.
    void ChooseSaveRepairedThenLeave() {
        m_script.When("archive analysed", Analysed(1), [] { ChooseMenu(Shown<CPreview>(), ID_FILE_SAVE_REPAIRED); });
        m_script.When("back in the preview", PreviewIdle(), [] { EndPreview(); });
    }
    static bool MenuEnabled(int id) { return Shown<CPreview>()->GetMenuBar()->IsEnabled(id); }
    std::vector<std::string> FilesOut() const { return testzip::ListFilesBelow(Out()); }
};

TEST_F(RepairedArchiveTest, WritesWhatTheCommandLineToolWritesInTheChosenMode) {
    const std::string archive = WriteArchive("damaged.zip", DamagedArchive());
    for (RepairMode mode : {QuickRepair, AdvanceRepair}) {
        SCOPED_TRACE(RepairModeLogName(mode));
        const char* modeName = mode == QuickRepair ? "quick" : "advance";
        const fs::path output = Out() / (std::string(modeName) + ".zip");
        m_picker.saveFile = PathToUtf8(output);
        Select({archive}, mode);
        ChooseSaveRepairedThenLeave();
        RunPreview();

        const RepairingSummary& summary = m_repairing.Summary();
        ASSERT_TRUE(summary.written) << summary.problem;
        const fs::path byTheTool = Out() / "cli" / output.filename();
        fs::create_directories(byTheTool.parent_path());
        const clitest::CliRun cli =
            clitest::RunCli({"repair", "--mode", modeName, "-o", PathToUtf8(byTheTool), archive});
        ASSERT_EQ(cli.status, 1) << cli.out << cli.err;  // some entries are damaged
        EXPECT_TRUE(testzip::ReadFileBytes(output) == testzip::ReadFileBytes(byTheTool)) << "not the same bytes";

        ASSERT_FALSE(Messages().empty());
        EXPECT_EQ(Messages().back(), RepairingEndMessage(summary).text);
        EXPECT_NE(Messages().back().find(PathToUtf8(output)), std::string::npos);
        EXPECT_EQ(CountInLog("Repaired File :      " + PathToUtf8(output)), 1);
    }
    EXPECT_EQ(m_endCalls, 0) << "the preview goes on after a repaired archive";
}

TEST_F(RepairedArchiveTest, ThePickerProposesTheNameRepairedBesideTheArchiveAndCancelWritesNothing) {
    const std::string archive = WriteArchive("Photos 2024.zip", {Stored("a.jpg", "jpeg bytes")});
    m_picker.saveFile.clear();  // the user cancels
    Select({archive});
    ChooseSaveRepairedThenLeave();
    RunPreview();

    using Proposal = std::pair<std::string, std::string>;
    EXPECT_EQ(m_picker.saveProposals, (std::vector<Proposal>{{PathToUtf8(In()), "Photos 2024 (repaired).zip"}}));
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(CountInLog("Save Repaired Archive"), 0);
    EXPECT_TRUE(FilesOut().empty());
    EXPECT_EQ(testzip::ListFilesBelow(In()), (std::vector<std::string>{"Photos 2024.zip"}));
}

TEST_F(RepairedArchiveTest, ChoosingTheArchiveItselfIsRefusedWithTheReasonAndWritesNothing) {
    const testzip::Bytes bytes = testzip::BuildZip({Stored("a.txt", "alpha")}).bytes;
    const std::string archive = WriteArchive("self.zip", bytes);
    m_picker.saveFile = archive;
    Select({archive});
    ChooseSaveRepairedThenLeave();
    RunPreview();

    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0],
              RepairRefusedMessage("the repaired archive cannot replace the archive it is made from").text);
    EXPECT_EQ(testzip::ReadFileBytes(archive), bytes);
    EXPECT_EQ(testzip::ListFilesBelow(In()), (std::vector<std::string>{"self.zip"}));
    EXPECT_EQ(CountInLog("Save Repaired Archive"), 0);
}

TEST_F(RepairedArchiveTest, StopInTheSavingDialogLeavesNoFileLogsTheStopAndKeepsThePreview) {
    const std::string archive = WriteArchive("a.zip", {Stored("a.txt", "alpha"), Stored("b.txt", "bravo")});
    m_picker.saveFile = PathToUtf8(Out() / "a (repaired).zip");
    Select({archive});
    ScanHold hold(m_repairing.ScanProgress());
    // The worker is let go from inside the question, so Stop finds it held.
    OnMessage(RepairingStopQuestion().text, [&] { hold.LetGo(); });
    m_script.When("archive analysed", Analysed(1), [] { ChooseMenu(Shown<CPreview>(), ID_FILE_SAVE_REPAIRED); });
    m_script.When(
        "repair in its scan", [&] { return hold.Reached() && Shown<CFileSave>() != nullptr; },
        [] { Press(Shown<CFileSave>(), IDC_SAVING_STOP); });
    m_script.When("back in the preview", PreviewIdle(), [] { EndPreview(); });
    RunPreview();

    EXPECT_EQ(Messages(), (std::vector<std::string>{RepairingStopQuestion().text, kStoppedText}));
    EXPECT_TRUE(FilesOut().empty());
    EXPECT_TRUE(m_repairing.Summary().stopped);
    EXPECT_EQ(CountInLog("******************* Repaired archive stopped by user: nothing written"), 1);
    EXPECT_EQ(m_endCalls, 0);
}

TEST_F(RepairedArchiveTest, TheItemFollowsSaveAllAndIsThereOnlyForAnAnalysedArchive) {
    const std::string good = WriteArchive("good.zip", {Stored("a.txt", "alpha")});
    const std::string junk = WriteArchive("junk.zip", testzip::Garbage(3000));
    Select({good, junk});
    std::vector<std::string> labels;
    bool onGood = false;
    bool onJunk = true;
    m_script
        .When("first analysed", Analysed(1),
              [&] {
                  wxMenu* file = Shown<CPreview>()->GetMenuBar()->GetMenu(0);
                  for (const wxMenuItem* item : file->GetMenuItems())
                      labels.push_back(item->GetItemLabelText().utf8_string());
                  onGood = MenuEnabled(ID_FILE_SAVE_REPAIRED);
                  Press(Shown<CPreview>(), IDC_PREVIEW_NEXT_FILE);
              })
        .When("second analysed", Analysed(2), [&] {
            onJunk = MenuEnabled(ID_FILE_SAVE_REPAIRED);
            EndPreview();
        });
    RunPreview();

    EXPECT_EQ(labels, (std::vector<std::string>{"Select File", "Save Current File", "Save All",
                                                "Save Repaired Archive\xE2\x80\xA6", "Exit"}));
    EXPECT_TRUE(onGood);
    EXPECT_FALSE(onJunk) << "no entries shown: nothing to repair";
}

TEST_F(RepairedArchiveTest, WithSkipPreviewThereIsNoArchiveShownToRepair) {
    Select({WriteArchive("a.zip", {Stored("a.txt", "alpha")})}, QuickRepair, true);
    bool enabled = true;
    m_script.When(
        "skip notice answered", [this] { return PreviewIdle()() && !Messages().empty(); },
        [&] {
            enabled = MenuEnabled(ID_FILE_SAVE_REPAIRED);
            ChooseMenu(Shown<CPreview>(), ID_FILE_SAVE_REPAIRED);  // does nothing
            EndPreview();
        });
    RunPreview();
    EXPECT_FALSE(enabled);
    EXPECT_TRUE(m_picker.saveProposals.empty());
}

}  // namespace
}  // namespace tessaly::testwizard
