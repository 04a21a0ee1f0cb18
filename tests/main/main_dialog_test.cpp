// The main dialog driven through its commands with the pickers, the message
// boxes, the next step and the end of the process replaced, and the activity
// log written into a sandbox.
#include <unistd.h>

#include <algorithm>
#include <deque>
#include <fstream>

#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/dnd.h>
#include <wx/frame.h>
#include <wx/listctrl.h>
#include <wx/menu.h>
#include <wx/radiobut.h>
#include <wx/uiaction.h>

#include "app/main/InstanceCheck.h"
#include "app/main/VarrowDlg.h"
#include "core/Settings.h"
#include "res/MainMenu.h"
#include "tests/log/LogSandbox.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/controls/SplashScreenEx.h"
#include "ui/shell/Pickers.h"
#include "workflow/MenuMessages.h"
#include "workflow/RepairJob.h"

namespace tessaly {
namespace {

namespace fs = std::filesystem;

class FakePickers : public IPickers {
public:
    std::vector<std::string> PickZipFiles(wxWindow*) override {
        if (zipChoices.empty()) return {};
        std::vector<std::string> choice = zipChoices.front();
        zipChoices.pop_front();
        return choice;
    }
    std::string PickFolder(wxWindow*, const std::string&) override { return {}; }
    std::string PickSaveFile(wxWindow*, const std::string&, const std::string&) override { return {}; }

    std::deque<std::vector<std::string>> zipChoices;
};

std::size_t Occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

class MainDialog : public ::testing::Test {
protected:
    MainDialog() {
        CVarrowDlg::Options options;
        options.wizard.pickers = &pickers;
        options.wizard.showMessage = [this](wxWindow*, const Message& message) { return answerer(message); };
        options.programFolder = sandbox.Program();
        options.splashMs = 0;
        options.wizard.job = &job;
        options.runPreview = [this] {
            ++previewRuns;
            shownDuringPreview = dialog->IsShown();
            pathsInPreview = job.SourcePaths();
        };
        options.wizard.endProcess = [this] { ++processEnds; };
        dialog = new CVarrowDlg(options);
        dialog->Show();
    }
    ~MainDialog() override {
        dialog->Destroy();
        test::PumpFor(10);
    }

    // An archive file in the scratch folder (its content does not matter
    // here).
    std::string Archive(const std::string& name) const {
        const fs::path path = (folder.Path() / name).make_preferred();
        fs::create_directories(path.parent_path());
        std::ofstream(path) << "PK";
        return path.string();
    }

    template <typename Control>
    Control* Find(int id) const {
        return dynamic_cast<Control*>(dialog->FindWindow(id));
    }
    wxListCtrl* List() const { return Find<wxListCtrl>(IDC_FILE_LIST); }

    // The rows as "number path".
    std::vector<std::string> Rows() const {
        std::vector<std::string> rows;
        for (int row = 0; row < List()->GetItemCount(); ++row)
            rows.push_back(List()->GetItemText(row, 0).utf8_string() + " " + List()->GetItemText(row, 1).utf8_string());
        return rows;
    }

    void Browse(std::vector<std::string> choice) {
        pickers.zipChoices.push_back(std::move(choice));
        Click(IDC_BROWSE);
    }
    void Click(int id) {
        wxCommandEvent event(wxEVT_BUTTON, id);
        event.SetEventObject(dialog->FindWindow(id));
        dialog->FindWindow(id)->ProcessWindowEvent(event);
    }
    void Menu(int id) {
        wxCommandEvent event(wxEVT_MENU, id);
        dialog->ProcessWindowEvent(event);
    }
    void PickRadio(int id) {
        Find<wxRadioButton>(id)->SetValue(true);
        wxCommandEvent event(wxEVT_RADIOBUTTON, id);
        event.SetEventObject(dialog->FindWindow(id));
        dialog->FindWindow(id)->ProcessWindowEvent(event);
    }
    // A key pressed in `focus` (the dialog itself when null).
    void Key(int code, wxWindow* focus = nullptr) {
        wxKeyEvent event(wxEVT_CHAR_HOOK);
        event.m_keyCode = code;
        event.SetEventObject(focus ? focus : dialog);
        dialog->ProcessWindowEvent(event);
    }
    void SelectRow(long row) { List()->SetItemState(row, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED); }
    bool ClearButtonsEnabled() const {
        const bool all = Find<wxButton>(IDC_CLEAR_ALL)->IsEnabled();
        EXPECT_EQ(all, Find<wxButton>(IDC_CLEAR_SELECTED)->IsEnabled());
        return all;
    }

    // Runs the dialog modally while `during` drives it; the modal run's code,
    // or -1 when it was still running after `during`.
    int RunModal(const std::function<void()>& during) {
        int code = -1;
        bool ended = false;
        dialog->CallAfter([&] {
            during();
            if (dialog->IsModal()) dialog->CallAfter([&] { dialog->EndModal(-1); });
        });
        code = dialog->ShowModal();
        ended = true;
        EXPECT_TRUE(ended);
        return code;
    }

    testlog::LogSandbox sandbox;
    test::ScratchFolder folder;
    FakePickers pickers;
    CRepairJob job;
    std::deque<MessageAnswer> answers;
    std::vector<std::string> shown;
    // Answers the dialog's message boxes: from `answers`, else questions Yes
    // and notices OK; every text shown is kept in `shown`.
    std::function<MessageAnswer(const Message&)> answerer = [this](const Message& message) {
        shown.push_back(message.text);
        if (answers.empty()) return message.buttons == MessageButtons::Ok ? MessageAnswer::Ok : MessageAnswer::Yes;
        const MessageAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    };
    int previewRuns = 0;
    bool shownDuringPreview = true;
    std::vector<std::string> pathsInPreview;
    int processEnds = 0;
    CVarrowDlg* dialog = nullptr;
};

TEST_F(MainDialog, StartsWithQuickRepairAnEmptyListAndTheSaveCommandsGreyed) {
    EXPECT_EQ(dialog->GetTitle(), AppTitle);
    EXPECT_TRUE(Find<wxRadioButton>(IDC_QUICK_REPAIR)->GetValue());
    EXPECT_FALSE(Find<wxCheckBox>(IDC_SKIP_PREVIEW)->GetValue());
    EXPECT_FALSE(ClearButtonsEnabled());
    wxMenuBar* menu = dialog->GetMenuBar();
    ASSERT_NE(menu, nullptr);
    EXPECT_FALSE(menu->IsEnabled(ID_FILE_SAVE_CURRENT));
    EXPECT_FALSE(menu->IsEnabled(ID_FILE_SAVE_ALL));
    EXPECT_TRUE(menu->IsEnabled(ID_FILE_SELECT));
    EXPECT_EQ(Occurrences(sandbox.ReadLog(), "Start Log File"), 1u);
    EXPECT_EQ(List()->GetColumnCount(), 2);
}

TEST_F(MainDialog, ClearingRowsRenumbersAndAsksFirst) {
    const std::string a = Archive("a.zip"), b = Archive("b.zip"), c = Archive("c.zip"), d = Archive("d.zip");
    Browse({a, b, c});
    EXPECT_TRUE(ClearButtonsEnabled());

    Click(IDC_CLEAR_SELECTED);  // nothing marked
    EXPECT_EQ(shown.back(), SelectFileToRemoveMessage().text);
    EXPECT_EQ(Rows().size(), 3u);

    SelectRow(1);
    answers = {MessageAnswer::No};
    Click(IDC_CLEAR_SELECTED);
    EXPECT_EQ(shown.back(), ClearSelectedQuestion().text);
    EXPECT_EQ(Rows().size(), 3u);

    SelectRow(1);
    Click(IDC_CLEAR_SELECTED);
    EXPECT_EQ(Rows(), (std::vector<std::string>{"1 " + a, "2 " + c}));
    Browse({d});
    EXPECT_EQ(Rows(), (std::vector<std::string>{"1 " + a, "2 " + c, "3 " + d}));

    answers = {MessageAnswer::No};
    Click(IDC_CLEAR_ALL);
    EXPECT_EQ(shown.back(), ClearAllQuestion().text);
    EXPECT_EQ(Rows().size(), 3u);
    Click(IDC_CLEAR_ALL);
    EXPECT_TRUE(Rows().empty());
    EXPECT_FALSE(ClearButtonsEnabled());

    const std::size_t questions = shown.size();
    Click(IDC_CLEAR_ALL);  // an empty list asks nothing
    EXPECT_EQ(shown.size(), questions);
}

TEST_F(MainDialog, RemovingTheLastRowDisablesTheClearButtons) {
    Browse({Archive("only.zip")});
    SelectRow(0);
    Click(IDC_CLEAR_SELECTED);
    EXPECT_TRUE(Rows().empty());
    EXPECT_FALSE(ClearButtonsEnabled());
}

TEST_F(MainDialog, AnArchiveIsListedOnceHoweverItIsNamed) {
    const std::string upper = Archive("A.zip"), lower = Archive("a.zip");
    const std::string link = (folder.Path() / "link.zip").string();
    std::error_code noLinks;
    fs::create_symlink(lower, link, noLinks);
    if (noLinks)
        std::printf("note: no symbolic link can be made here (%s): the link is not tried\n", noLinks.message().c_str());
    const std::string roundabout = (folder.Path() / "sub" / ".." / "a.zip").string();
    fs::create_directories(folder.Path() / "sub");
    const std::string missing = (folder.Path() / "missing.zip").string();

    Browse({lower, lower, "", missing});
    Browse({noLinks ? roundabout : link, roundabout, lower, upper, folder.Path().string()});
    // The link and the roundabout path name a.zip again; empty, missing and
    // folder paths never join.
#ifdef _WIN32
    // Windows finds a file whatever the case of its name: A.zip is a.zip.
    EXPECT_EQ(Rows(), (std::vector<std::string>{"1 " + lower}));
#else
    // A.zip and a.zip are two files here.
    EXPECT_EQ(Rows(), (std::vector<std::string>{"1 " + lower, "2 " + upper}));
#endif
    EXPECT_TRUE(shown.empty());
}

TEST_F(MainDialog, LongPathsAreKeptWhole) {
    std::string deep;
    for (int level = 0; level < 12; ++level) deep += std::string(30, char('a' + level)) + "/";
    const std::string path = Archive(deep + "archive.zip");
    ASSERT_GT(path.size(), 400u);
    Browse({path});
    ASSERT_EQ(Rows().size(), 1u);
    Click(IDC_REPAIR);
    EXPECT_EQ(pathsInPreview, (std::vector<std::string>{path}));
}

TEST_F(MainDialog, CommandLineAndDroppedArchivesFollowBrowsesRules) {
    const std::string a = Archive("a.zip"), b = Archive("b.ZIP"), text = Archive("notes.txt");
    const fs::path before = fs::current_path();
    fs::current_path(folder.Path());
    dialog->AddArchives({"a.zip", a, "gone.zip"});  // as `tessaly-zip a.zip ...` started here
    fs::current_path(before);
    auto* target = dynamic_cast<wxFileDropTarget*>(List()->GetDropTarget());
    ASSERT_NE(target, nullptr);
    wxArrayString dropped;
    for (const std::string& name : {text, a, b}) dropped.Add(wxString::FromUTF8(name));
    target->OnDropFiles(0, 0, dropped);
    EXPECT_EQ(Rows(), (std::vector<std::string>{"1 " + a, "2 " + b}));
    EXPECT_TRUE(ClearButtonsEnabled());
}

TEST_F(MainDialog, RefusedRepairLeavesNoPathsAndAnAcceptedOneHidesTheDialogAroundThePreview) {
    Click(IDC_REPAIR);  // empty list
    EXPECT_EQ(shown.back(), NoFilesSelectedMessage().text);
    EXPECT_EQ(previewRuns, 0);
    EXPECT_TRUE(job.SourcePaths().empty());
    EXPECT_EQ(Occurrences(sandbox.ReadLog(), "Source Files :"), 1u);

    const std::string a = Archive("a.zip"), b = Archive("b.zip");
    Browse({a, b});
    fs::remove(b);  // the last row has gone from the disk
    Click(IDC_REPAIR);
    EXPECT_EQ(shown.back(), NoFilesSelectedMessage().text);
    EXPECT_EQ(previewRuns, 0);
    EXPECT_TRUE(job.SourcePaths().empty());

    SelectRow(1);
    Click(IDC_CLEAR_SELECTED);
    const std::string c = Archive("c.zip");
    Browse({c});
    Click(IDC_REPAIR);
    EXPECT_EQ(previewRuns, 1);
    EXPECT_FALSE(shownDuringPreview);
    EXPECT_TRUE(dialog->IsShown());
    EXPECT_EQ(pathsInPreview, (std::vector<std::string>{a, c}));
    EXPECT_EQ(job.m_nSourceCount, 2);
    EXPECT_EQ(Rows(), (std::vector<std::string>{"1 " + a, "2 " + c}));

    Click(IDC_REPAIR);  // again after the way back: the same two, not four
    EXPECT_EQ(previewRuns, 2);
    EXPECT_EQ(pathsInPreview, (std::vector<std::string>{a, c}));
    const std::string log = sandbox.ReadLog();
    EXPECT_EQ(Occurrences(log, "Step 2 :- Analysis Of Files"), 2u);
    EXPECT_EQ(Occurrences(log, "Source Files :"), 4u);
}

TEST_F(MainDialog, ModeRadioButtonsAndMenuAgreeAndEveryChoiceIsLogged) {
    Menu(ID_MODE_ADVANCE);
    EXPECT_TRUE(Find<wxRadioButton>(IDC_ADVANCE_REPAIR)->GetValue());
    EXPECT_FALSE(Find<wxRadioButton>(IDC_QUICK_REPAIR)->GetValue());
    EXPECT_EQ(job.m_nRepairMode, AdvanceRepair);
    Menu(ID_MODE_ADVANCE);
    PickRadio(IDC_QUICK_REPAIR);
    EXPECT_EQ(job.m_nRepairMode, QuickRepair);
    Menu(ID_MODE_QUICK);
    EXPECT_TRUE(Find<wxRadioButton>(IDC_QUICK_REPAIR)->GetValue());

    const std::string log = sandbox.ReadLog();
    EXPECT_EQ(Occurrences(log, "Repair Mode  :      Advance  Repair"), 2u);
    EXPECT_EQ(Occurrences(log, "Repair Mode  :      Quick Repair"), 2u);
}

// A click on the radio button that is already chosen is a choice too.
TEST_F(MainDialog, ClickingTheChosenModeAgainIsLoggedAgain) {
    dialog->Move(20, 20);
    dialog->Raise();
    ASSERT_TRUE(test::PumpUntil([&] { return dialog->IsShownOnScreen(); }));
    test::PumpFor(200);
    wxUIActionSimulator mouse;
    for (int click = 0; click < 2; ++click) {
        wxWindow* quick = dialog->FindWindow(IDC_QUICK_REPAIR);
        mouse.MouseMove(quick->GetScreenPosition() + wxPoint(8, quick->GetSize().y / 2));
        mouse.MouseClick();
        test::PumpFor(150);
    }
    EXPECT_TRUE(Find<wxRadioButton>(IDC_QUICK_REPAIR)->GetValue());
    EXPECT_EQ(Occurrences(sandbox.ReadLog(), "Repair Mode  :      Quick Repair"), 2u);
}

TEST_F(MainDialog, SkipPreviewMenuAndCheckBoxAgree) {
    auto* box = Find<wxCheckBox>(IDC_SKIP_PREVIEW);
    Menu(ID_OPTION_SKIP_PREVIEW);
    EXPECT_TRUE(box->GetValue());
    EXPECT_EQ(job.m_bSkipPreview, 1);
    box->SetValue(false);
    wxCommandEvent click(wxEVT_CHECKBOX, IDC_SKIP_PREVIEW);
    click.SetEventObject(box);
    box->ProcessWindowEvent(click);
    EXPECT_EQ(job.m_bSkipPreview, 0);
    Menu(ID_OPTION_SKIP_PREVIEW);
    Menu(ID_OPTION_SKIP_PREVIEW);
    EXPECT_FALSE(box->GetValue());
    EXPECT_EQ(job.m_bSkipPreview, 0);

    Browse({Archive("a.zip")});
    Menu(ID_OPTION_SKIP_PREVIEW);
    Click(IDC_REPAIR);
    EXPECT_EQ(job.m_bSkipPreview, 1);
    EXPECT_EQ(Occurrences(sandbox.ReadLog(), "Skip Preview Status :    TRUE"), 1u);
}

TEST_F(MainDialog, ExitAsksAndEndsTheModalRunOnYes) {
    answers = {MessageAnswer::No};
    EXPECT_EQ(RunModal([&] { Menu(ID_FILE_EXIT); }), -1);
    EXPECT_EQ(shown.back(), MainExitQuestion().text);
    EXPECT_EQ(RunModal([&] { Menu(ID_FILE_EXIT); }), wxID_CANCEL);
    EXPECT_EQ(processEnds, 0);
}

TEST_F(MainDialog, CloseBoxGreysRepairWhileItAsks) {
    bool repairEnabledWhileAsking = true;
    answerer = [&](const Message& message) {
        shown.push_back(message.text);
        repairEnabledWhileAsking = Find<wxButton>(IDC_REPAIR)->IsEnabled();
        return answers.empty() ? MessageAnswer::Yes : MessageAnswer::No;
    };
    answers = {MessageAnswer::No};
    EXPECT_EQ(RunModal([&] { dialog->Close(); }), -1);
    EXPECT_FALSE(repairEnabledWhileAsking);
    EXPECT_TRUE(Find<wxButton>(IDC_REPAIR)->IsEnabled());
    answers.clear();
    EXPECT_EQ(RunModal([&] { dialog->Close(); }), wxID_OK);
    EXPECT_EQ(shown.back(), MainExitQuestion().text);
}

TEST_F(MainDialog, EscapeEndsTheProcessOnYesAndIsSwallowedOnNo) {
    answers = {MessageAnswer::No};
    EXPECT_EQ(RunModal([&] { Key(WXK_ESCAPE); }), -1);
    EXPECT_EQ(shown.back(), MainEscapeQuestion().text);
    EXPECT_EQ(processEnds, 0);
    Key(WXK_ESCAPE);
    EXPECT_EQ(processEnds, 1);
}

TEST_F(MainDialog, EnterEndsTheDialogUnlessAButtonHasTheFocus) {
    EXPECT_EQ(RunModal([&] { Key(WXK_RETURN, Find<wxButton>(IDC_BROWSE)); }), -1);
    EXPECT_EQ(RunModal([&] { Key(WXK_RETURN, List()); }), wxID_OK);
    EXPECT_TRUE(shown.empty());
}

// The splash stays for its time and is gone when the window is made; a
// missing picture costs nothing but the wait.
TEST(MainDialogStart, SplashComesAndGoesBeforeTheWindow) {
    testlog::LogSandbox sandbox;
    test::ScratchFolder program;
    test::SaveBmp(wxImage(60, 40), program.Path() / "Flash.bmp");
    CRepairJob job;
    for (const bool withPicture : {true, false}) {
        if (!withPicture) fs::remove(program.Path() / "Flash.bmp");
        CVarrowDlg::Options options;
        options.programFolder = program.Path();
        options.wizard.job = &job;
        options.splashMs = 300;
        const wxLongLong start = wxGetLocalTimeMillis();
        auto* dialog = new CVarrowDlg(options);
        EXPECT_GE((wxGetLocalTimeMillis() - start).GetValue(), 300);
        test::PumpFor(400);  // the fade-out and the deferred destruction
        for (wxWindow* window : wxTopLevelWindows)
            EXPECT_EQ(dynamic_cast<CSplashScreenEx*>(window), nullptr) << "picture " << withPicture;
        dialog->Destroy();
        test::PumpFor(10);
    }
}

// A copy started while another runs. On Windows the other copy is known by a
// window titled exactly AppTitle, shown or hidden (its main dialog hides
// during a repair), and one that shows a box captioned BoxTitle keeps the
// new copy silent.
TEST(MainDialogStart, AnotherCopyIsKnownByItsWindowTitle) {
#ifndef __WXMSW__
    GTEST_SKIP() << "windows of other programs are found by their title on Windows only; elsewhere a lock file per "
                    "user tells";
#else
    auto* similar = new wxFrame(nullptr, wxID_ANY, wxString::FromUTF8(AppTitle) + " (2)");
    EXPECT_FALSE(CInstanceCheck().AnotherRunning()) << "only the exact title counts";
    auto* hidden = new wxFrame(nullptr, wxID_ANY, wxString::FromUTF8(AppTitle));
    const CInstanceCheck whileHidden;
    EXPECT_TRUE(whileHidden.AnotherRunning());
    EXPECT_FALSE(whileHidden.AnotherShowsMessage());
    auto* box = new wxFrame(nullptr, wxID_ANY, wxString::FromUTF8(BoxTitle));
    EXPECT_TRUE(CInstanceCheck().AnotherShowsMessage());
    for (wxFrame* frame : {similar, hidden, box}) frame->Destroy();
    test::PumpFor(10);
    EXPECT_FALSE(CInstanceCheck().AnotherRunning());
#endif
}

}  // namespace
}  // namespace tessaly
