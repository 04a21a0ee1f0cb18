// The preview and the saving dialog as a person reads them: every column
// wide enough for what it shows, encrypted entries marked, no rows of the
// archive before under a message about the next one, long paths shortened
// in the middle, the folder picker opening where the user last saved, and
// a destination that takes no files told, not silently passed over.
#include <gtest/gtest.h>

#include <wx/control.h>

#include <algorithm>
#include <filesystem>

#include "tests/support/Damage.h"
#include "tests/wizard/WizardHarness.h"
#include "workflow/dialogs/EntryList.h"
#include "workflow/dialogs/FileSave.h"
#include "workflow/dialogs/Preview.h"
#include "workflow/dialogs/ViewLog.h"

namespace tessaly::testwizard {
namespace {

namespace fs = std::filesystem;
using testzip::Stored;

constexpr const char* kHighlyCorrupted = "File is highly corrupted or version not supported.Recovery not possible.";

class PreviewTest : public WizardTest {
protected:
    // OK in the completion dialog, then the end of the process.
    void FinishCompletion() {
        m_script.When(
            "completion shown", [] { return Shown<CViewLog>() != nullptr; },
            [] { Press(Shown<CViewLog>(), IDC_VIEW_LOG_OK); });
        m_script.When("process ended", ProcessEnded(), [] { EndPreview(); });
    }
    static CEntryList* List() { return Shown<CPreview>()->EntryList(); }
};

// What the list's columns need for the texts of its rows.
struct ColumnCheck {
    int column;
    int width;
    int needed;
};

std::vector<ColumnCheck> CheckColumns(CEntryList* list) {
    std::vector<ColumnCheck> checks;
    for (int column = 0; column < list->GetColumnCount(); ++column) {
        int needed = 0;
        for (long row = 0; row < list->GetItemCount(); ++row)
            needed = std::max(needed, list->GetTextExtent(list->GetItemText(row, column)).GetWidth());
        checks.push_back({column, list->GetColumnWidth(column), needed});
    }
    return checks;
}

TEST_F(PreviewTest, EveryColumnShowsItsWholeContentAndAllFitTheList) {
    std::vector<testzip::EntryToWrite> entries;
    for (int i = 0; i < 40; ++i)
        entries.push_back(Stored("doc" + std::to_string(i) + ".txt", testzip::TextContent("d", 900 + i * 37)));
    Select({WriteArchive("docs.zip", entries)});
    std::vector<ColumnCheck> checks;
    int listWidth = 0;
    m_script.When("archive analysed", Analysed(1), [&] {
        checks = CheckColumns(List());
        listWidth = List()->GetClientSize().GetWidth();
        EndPreview();
    });
    RunPreview();

    ASSERT_EQ(checks.size(), 6u) << "no encrypted entry, no Encryption column";
    int total = 0;
    for (const ColumnCheck& check : checks) {
        // The list draws a few pixels of margin on each side of a text.
        EXPECT_GE(check.width, check.needed + 8) << "column " << check.column;
        total += check.width;
    }
    // Short names: nothing needs scrolling sideways (the CRC column used to
    // run past the list's edge). With the wider captions of Windows' fonts
    // the list may scroll instead; every column still shows its content.
#ifndef __WXMSW__
    EXPECT_LE(total, listWidth);
#else
    (void)listWidth;
#endif
}

TEST_F(PreviewTest, EncryptedEntriesAreMarkedWithWhetherAPasswordOpensThem) {
    Select({WriteArchive("mixed.zip",
                         {Stored("plain.txt", "plain"), testzip::WithPassword(Stored("secret.txt", "secret"), "pw")})});
    std::vector<std::string> marks;
    wxString caption;
    m_script.When("archive analysed", Analysed(1), [&] {
        CEntryList* list = List();
        wxListItem column;
        column.SetMask(wxLIST_MASK_TEXT);
        if (list->GetColumnCount() > 6 && list->GetColumn(6, column)) caption = column.GetText();
        for (const EntryRow& row : list->Rows()) marks.push_back(row.name + "=" + row.encryption);
        EndPreview();
    });
    RunPreview();

    EXPECT_EQ(caption, "Encryption");
    EXPECT_EQ(marks,
              (std::vector<std::string>{"plain.txt=", "secret.txt=Password needed (traditional PKWARE encryption)"}));
}

// The second archive's notice comes up over an empty list, not over the
// first archive's rows under the second archive's path.
TEST_F(PreviewTest, TheRowsOfTheArchiveBeforeAreGoneWhenAMessageAboutTheNextComesUp) {
    Select({WriteArchive("good.zip", {Stored("a.txt", "a"), Stored("b.txt", "b")}),
            WriteArchive("junk.zip", testzip::Garbage(3000))});
    long rowsUnderMessage = -1;
    wxString countUnderMessage = "unset";
    wxString pathUnderMessage;
    OnMessage(kHighlyCorrupted, [&] {
        CPreview* preview = Shown<CPreview>();
        rowsUnderMessage = preview->EntryList()->GetItemCount();
        countUnderMessage = preview->FindWindow(IDC_PREVIEW_SHOWN)->GetLabel();
        pathUnderMessage = preview->FindWindow(IDC_PREVIEW_PATH)->GetToolTipText();
    });
    m_script.When("archive 1 analysed", Analysed(1), [] { Press(Shown<CPreview>(), IDC_PREVIEW_NEXT_FILE); })
        .When("archive 2 analysed", Analysed(2), [] { EndPreview(); });
    RunPreview();

    EXPECT_EQ(CountMessages(kHighlyCorrupted), 1);
    EXPECT_EQ(rowsUnderMessage, 0);
    EXPECT_EQ(countUnderMessage, "");
    EXPECT_EQ(pathUnderMessage, wxString::FromUTF8(m_job.GetSourcePath(1)));
}

// A path wider than its label keeps its start and its end, with an
// ellipsis in between; the tooltip holds it whole. In the preview and in
// the saving dialog alike.
TEST_F(PreviewTest, LongPathsAreShortenedInTheMiddleWithTheFullPathInTheTooltip) {
    fs::path deep = In();
    for (int i = 0; i < 12; ++i) deep /= "a-rather-long-folder-name-" + std::to_string(i);
    fs::create_directories(deep);
    const std::string archive = (deep / "the-archive-at-the-end.zip").string();
    testzip::WriteFileBytes(archive, testzip::BuildZip({Stored("a.txt", "a")}).bytes);
    Select({archive});
    m_picker.folder = Out().string();

    struct PathShown {
        wxString text, tooltip;
        int width = 0, needed = 0;
    };
    auto read = [](wxWindow* label) {
        PathShown shown{label->GetLabel(), label->GetToolTipText(), label->GetClientSize().GetWidth(), 0};
        shown.needed = label->GetTextExtent(shown.text).GetWidth();
        return shown;
    };
    PathShown preview, saving;
    // Saving is held at its scan, with the archive's name up.
    ScanHold hold(m_saving.ScanProgress());
    m_script
        .When("archive analysed", Analysed(1),
              [&] {
                  preview = read(Shown<CPreview>()->FindWindow(IDC_PREVIEW_PATH));
                  Press(Shown<CPreview>(), IDC_PREVIEW_SAVE_ALL);
              })
        .When(
            "saving shows the archive",
            [&hold] {
                CFileSave* dialog = Shown<CFileSave>();
                return hold.Reached() && dialog && !dialog->FindWindow(IDC_SAVING_NAME)->GetToolTipText().empty();
            },
            [&] {
                saving = read(Shown<CFileSave>()->FindWindow(IDC_SAVING_NAME));
                hold.LetGo();
            });
    FinishCompletion();
    RunPreview();

    for (const PathShown* shown : {&preview, &saving}) {
        EXPECT_EQ(shown->tooltip, wxString::FromUTF8(archive));
        EXPECT_TRUE(shown->text.StartsWith(wxString::FromUTF8(archive.substr(0, 8)))) << shown->text;
        EXPECT_TRUE(shown->text.EndsWith("the-archive-at-the-end.zip")) << shown->text;
        EXPECT_NE(shown->text.Find("..."), wxNOT_FOUND) << shown->text;
        EXPECT_LE(shown->needed, shown->width) << shown->text;
    }
}

// The picker opens in the first archive's folder, then wherever the user
// saved last.
TEST_F(PreviewTest, TheDestinationPickerOpensInTheLastDestinationUsed) {
    const fs::path elsewhere = Out() / "elsewhere";
    fs::create_directories(elsewhere);
    Select({WriteArchive("a.zip", {Stored("a.txt", "a")}), WriteArchive("b.zip", {Stored("b.txt", "b")})});
    m_picker.folder = elsewhere.string();
    m_script.When("archive analysed", Analysed(1), [] { Press(Shown<CPreview>(), IDC_PREVIEW_SAVE_CURRENT); })
        .When(
            "saved and back", [this] { return PreviewIdle()() && !fs::is_empty(Out() / "elsewhere"); },
            [] { Press(Shown<CPreview>(), IDC_PREVIEW_SAVE_ALL); });
    FinishCompletion();
    RunPreview();

    EXPECT_EQ(m_picker.startFolders, (std::vector<std::string>{In().string(), elsewhere.string()}));
}

// A folder that takes no new file, whoever the test runs as: one made
// read-only, or where even the administrator cannot make files.
std::string RefusingFolder(const fs::path& sandbox) {
    const fs::path folder = sandbox / "read-only";
    fs::create_directories(folder);
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
    const fs::path probe = folder / "probe";
    if (std::FILE* file = std::fopen(probe.string().c_str(), "wbx")) {
        std::fclose(file);
        fs::remove(probe);
#ifdef __linux__
        return "/sys";  // the administrator writes anywhere but here
#else
        return {};
#endif
    }
    return folder.string();
}

TEST_F(PreviewTest, ADestinationThatTakesNoFilesIsToldAndLoggedAndNothingIsSaved) {
    const std::string refusing = RefusingFolder(m_sandbox.Root());
    if (refusing.empty()) GTEST_SKIP() << "no folder here refuses new files to this user";
    Select({WriteArchive("a.zip", {Stored("a.txt", "a")})});
    m_picker.folder = refusing;
    bool savingShown = false;
    m_script.When("archive analysed", Analysed(1), [] { Press(Shown<CPreview>(), IDC_PREVIEW_SAVE_ALL); })
        .When(
            "told", [this] { return !Messages().empty(); },
            [&] {
                savingShown = Shown<CFileSave>() != nullptr;
                EndPreview();
            });
    RunPreview();
    fs::permissions(m_sandbox.Root() / "read-only", fs::perms::owner_all);

    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].rfind("Files cannot be saved in this folder: ", 0), 0u) << Messages()[0];
    EXPECT_NE(Messages()[0].find("Select another path for saving."), std::string::npos);
    EXPECT_FALSE(savingShown);
    EXPECT_EQ(CountInLog("The destination cannot be written :  " + refusing), 1);
    EXPECT_EQ(CountInLog("Step 3"), 0);
}

}  // namespace
}  // namespace tessaly::testwizard
