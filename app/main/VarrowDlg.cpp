#include "app/main/VarrowDlg.h"

#include <ctime>
#include <optional>

#include <wx/app.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/dnd.h>
#include <wx/evtloop.h>
#include <wx/listctrl.h>
#include <wx/menu.h>
#include <wx/radiobut.h>
#include <wx/stattext.h>
#include <wx/time.h>
#include <wx/utils.h>

#include "app/main/PreviewStep.h"
#include "core/Settings.h"
#include "log/ActivityLog.h"
#include "log/LogSections.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "res/MainMenu.h"
#include "ui/about/AboutDlg.h"
#include "ui/about/HelpContents.h"
#include "ui/controls/SplashScreenEx.h"
#include "ui/shell/Pickers.h"
#include "ui/skin/AppIcon.h"
#include "ui/skin/DialogUnits.h"
#include "ui/skin/SystemMenuAbout.h"
#include "workflow/ArchiveSelection.h"
#include "workflow/MenuMessages.h"
#include "workflow/RepairJob.h"

namespace tessaly {

namespace {

constexpr int kWidth = 484;
constexpr int kHeight = 292;

// .zip files dropped on the list join it as Browse's choices do.
class CArchiveDropTarget : public wxFileDropTarget {
public:
    explicit CArchiveDropTarget(CVarrowDlg& dialog) : m_dialog(dialog) {}

    bool OnDropFiles(wxCoord, wxCoord, const wxArrayString& names) override {
        std::vector<std::string> archives;
        for (const wxString& name : names) {
            const std::string path = name.utf8_string();
            if (HasZipExtension(path)) archives.push_back(path);
        }
        m_dialog.AddArchives(archives);
        return !archives.empty();
    }

private:
    CVarrowDlg& m_dialog;
};

bool Confirmed(const WizardServices& wizard, wxWindow* parent, const Message& question) {
    return wizard.ShowMessage(parent, question) == MessageAnswer::Yes;
}

}  // namespace

CVarrowDlg::CVarrowDlg(Options options) : m_options(std::move(options)), m_job(*m_options.wizard.job) {
    if (!m_options.runPreview) m_options.runPreview = [wizard = m_options.wizard] { RunPreviewStep(wizard); };
    ShowSplash(m_options.splashMs);
    Create(nullptr, wxID_ANY, AppTitle, kWidth, kHeight);
    LoadBackground(m_options.programFolder, "Browse.bmp");
    CreateControls();
    BindCommands();
    InitDialog();
}

// The splash stays for `milliseconds` while only paint and other window
// events are handled: a click or key press waits until it is gone.
void CVarrowDlg::ShowSplash(int milliseconds) const {
    if (milliseconds <= 0) return;
    auto* splash = new CSplashScreenEx;
    if (!splash->Create(nullptr, wxString(), 2000,
                        SPLASH_FADE_IN | SPLASH_FADE_OUT | SPLASH_DROP_SHADOW | SPLASH_CENTER_SCREEN)) {
        splash->wxFrame::Destroy();
        return;
    }
    if (splash->SetBitmap(wxString::FromUTF8(PathToUtf8(m_options.programFolder / "Flash.bmp")), 255, 0, 240))
        splash->Show();
    // Start-up has no loop running yet; a local one serves the wait.
    wxGUIEventLoop ownLoop;
    wxEventLoopBase* loop = wxEventLoopBase::GetActive();
    std::optional<wxEventLoopActivator> activation;
    if (!loop) {
        activation.emplace(&ownLoop);
        loop = &ownLoop;
    }
    const wxLongLong end = wxGetLocalTimeMillis() + milliseconds;
    while (wxGetLocalTimeMillis() < end) {
        loop->YieldFor(wxEVT_CATEGORY_UI);
        wxMilliSleep(10);
    }
    splash->Hide();
}

void CVarrowDlg::CreateControls() {
    const auto place = [this](int x, int y, int w, int h) { return DialogRect(this, x, y, w, h); };
    const auto button = [&](int id, const char* caption, wxRect rect) {
        return new wxButton(this, id, caption, rect.GetPosition(), rect.GetSize());
    };
    // Created in the template's order, which is the Tab order.
    m_browse = button(IDC_BROWSE, "Browse", place(417, 116, 53, 14));
    m_clearSelected = button(IDC_CLEAR_SELECTED, "Clear selected", place(417, 134, 53, 14));
    m_clearAll = button(IDC_CLEAR_ALL, "Clear All", place(416, 152, 53, 14));
    const wxRect box = place(79, 232, 8, 8);
    m_skipPreview = new wxCheckBox(this, IDC_SKIP_PREVIEW, wxString(), box.GetPosition(), wxDefaultSize);
    m_repair = button(IDC_REPAIR, "Repair", place(416, 264, 50, 14));
    const auto label = [&](const char* text, wxRect rect) {
        new wxStaticText(this, wxID_STATIC, text, rect.GetPosition(), rect.GetSize());
    };
    label("Select File(s)      :", place(13, 58, 60, 18));
    CreateList();
    label("Repair Mode      :", place(13, 183, 69, 14));
    const wxRect quick = place(79, 183, 56, 10);
    m_quickRepair =
        new wxRadioButton(this, IDC_QUICK_REPAIR, "Quick Repair", quick.GetPosition(), wxDefaultSize, wxRB_GROUP);
    const wxRect advance = place(79, 201, 67, 10);
    m_advanceRepair =
        new wxRadioButton(this, IDC_ADVANCE_REPAIR, "Advance Repair", advance.GetPosition(), wxDefaultSize);
    label("Skip Perview      :   ", place(11, 231, 67, 12));
    label("Recommended  for  multiple files repairing", place(90, 231, 246, 18));
}

void CVarrowDlg::CreateList() {
    const wxRect rect = DialogRect(this, 78, 58, 330, 108);
    m_fileList = new wxListCtrl(this, IDC_FILE_LIST, rect.GetPosition(), rect.GetSize(),
                                wxLC_REPORT | wxLC_SINGLE_SEL | wxLC_HRULES | wxLC_VRULES | wxBORDER_SUNKEN);
    m_fileList->AppendColumn(" File No.", wxLIST_FORMAT_LEFT, 60);
    m_fileList->AppendColumn(" File Name", wxLIST_FORMAT_LEFT, 500);
    m_fileList->SetDropTarget(new CArchiveDropTarget(*this));
}

void CVarrowDlg::BindCommands() {
    const auto onButton = [this](int id, void (CVarrowDlg::*command)()) {
        Bind(
            wxEVT_BUTTON, [this, command](wxCommandEvent&) { (this->*command)(); }, id);
    };
    onButton(IDC_BROWSE, &CVarrowDlg::Browse);
    onButton(IDC_CLEAR_SELECTED, &CVarrowDlg::ClearSelected);
    onButton(IDC_CLEAR_ALL, &CVarrowDlg::ClearAll);
    onButton(IDC_REPAIR, &CVarrowDlg::Repair);
    Bind(
        wxEVT_CHECKBOX, [this](wxCommandEvent&) { m_job.m_bSkipPreview = m_skipPreview->GetValue() ? 1 : 0; },
        IDC_SKIP_PREVIEW);
    Bind(
        wxEVT_RADIOBUTTON, [this](wxCommandEvent&) { SetRepairMode(QuickRepair, false); }, IDC_QUICK_REPAIR);
    Bind(
        wxEVT_RADIOBUTTON, [this](wxCommandEvent&) { SetRepairMode(AdvanceRepair, false); }, IDC_ADVANCE_REPAIR);
#ifdef __WXMSW__
    // Windows tells of every click on a radio button, but the toolkit passes
    // on only those that change the choice; a click on the chosen mode is a
    // choice too. (The button is checked after the release is handled, so a
    // click that changes the choice is not counted twice.)
    for (const auto& [button, mode] : {std::pair{m_quickRepair, int(QuickRepair)}, {m_advanceRepair, AdvanceRepair}}) {
        button->Bind(wxEVT_LEFT_UP, [this, button = button, mode = mode](wxMouseEvent& event) {
            event.Skip();
            if (button->GetValue() && button->GetClientRect().Contains(event.GetPosition())) SetRepairMode(mode, false);
        });
    }
#endif

    const auto onMenu = [this](int id, const std::function<void()>& command) {
        Bind(
            wxEVT_MENU, [command](wxCommandEvent&) { command(); }, id);
    };
    onMenu(ID_FILE_SELECT, [this] { Browse(); });
    onMenu(ID_FILE_EXIT, [this] { OnMenuExit(); });
    onMenu(ID_MODE_QUICK, [this] { SetRepairMode(QuickRepair, true); });
    onMenu(ID_MODE_ADVANCE, [this] { SetRepairMode(AdvanceRepair, true); });
    onMenu(ID_OPTION_SKIP_PREVIEW, [this] { ToggleSkipPreview(); });
    onMenu(ID_OPTION_VIEW_LOG, [] { ViewActivityLog(); });
    onMenu(ID_OPTION_CLEAR_LOG, [this] { OnClearLog(); });
    onMenu(ID_HELP_ABOUT, [this] { ShowAboutBox(); });
    onMenu(ID_HELP_CONTENTS, [this] { ShowHelpContents(); });
    Bind(wxEVT_HELP, [](wxHelpEvent&) {});  // F1 is handled as a key (OnHelpKey)
}

void CVarrowDlg::InitDialog() {
    AddSystemMenuAbout(*this, [this] { ShowAboutBox(); });
    SetIcons(AppIcons());
    SetTitle(AppTitle);
    m_quickRepair->SetValue(true);
    m_job.m_nRepairMode = QuickRepair;
    m_job.m_bSkipPreview = 0;
    std::tm now{};
    ToLocalTime(std::time(nullptr), now);
    LogProgramStart(now);
    wxMenuBar* menu = CreateMainMenuBar();
    SetMenuBar(menu);
    menu->Enable(ID_FILE_SAVE_CURRENT, false);
    menu->Enable(ID_FILE_SAVE_ALL, false);
    UpdateClearButtons();
    m_browse->SetFocus();
}

std::vector<std::string> CVarrowDlg::ListedPaths() const {
    std::vector<std::string> paths;
    const int rows = m_fileList->GetItemCount();
    paths.reserve(rows);
    for (int row = 0; row < rows; ++row) paths.push_back(m_fileList->GetItemText(row, 1).utf8_string());
    return paths;
}

void CVarrowDlg::AppendRow(const std::string& path) {
    const long row = m_fileList->GetItemCount();
    m_fileList->InsertItem(row, wxString::Format("%ld", row + 1));
    m_fileList->SetItem(row, 1, wxString::FromUTF8(path));
}

void CVarrowDlg::AddArchives(const std::vector<std::string>& paths) {
    for (const std::string& path : ArchivesToAdd(ListedPaths(), paths)) AppendRow(path);
    UpdateClearButtons();
}

void CVarrowDlg::UpdateClearButtons() {
    const bool any = m_fileList->GetItemCount() > 0;
    m_clearAll->Enable(any);
    m_clearSelected->Enable(any);
}

void CVarrowDlg::Browse() {
    const std::vector<std::string> chosen = m_options.wizard.Pickers().PickZipFiles(this);
    if (!chosen.empty()) AddArchives(chosen);
}

void CVarrowDlg::ClearSelected() {
    const long row = m_fileList->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
    if (row < 0) {
        m_options.wizard.ShowMessage(this, SelectFileToRemoveMessage());
        return;
    }
    if (!Confirmed(m_options.wizard, this, ClearSelectedQuestion())) return;
    m_fileList->DeleteItem(row);
    Renumber();
    UpdateClearButtons();
}

// Rows are numbered 1, 2, 3, ... again from the paths that remain.
void CVarrowDlg::Renumber() {
    const std::vector<std::string> paths = ListedPaths();
    m_fileList->DeleteAllItems();
    for (const std::string& path : paths) AppendRow(path);
}

void CVarrowDlg::ClearAll() {
    if (m_fileList->GetItemCount() == 0) return;
    if (!Confirmed(m_options.wizard, this, ClearAllQuestion())) return;
    m_fileList->DeleteAllItems();
    UpdateClearButtons();
}

void CVarrowDlg::SetRepairMode(int mode, bool fromMenu) {
    m_job.m_nRepairMode = mode == AdvanceRepair ? AdvanceRepair : QuickRepair;
    if (fromMenu) (mode == AdvanceRepair ? m_advanceRepair : m_quickRepair)->SetValue(true);
    LogRepairModeChange(m_job.m_nRepairMode);
}

void CVarrowDlg::ToggleSkipPreview() {
    m_job.m_bSkipPreview = m_job.m_bSkipPreview ? 0 : 1;
    m_skipPreview->SetValue(m_job.m_bSkipPreview != 0);
}

// The job gets exactly the rows shown: a refused attempt leaves no paths
// behind for the next one.
void CVarrowDlg::Repair() {
    const std::vector<std::string> paths = ListedPaths();
    m_job.m_nSourceCount = static_cast<int>(paths.size());
    m_job.ClearSourcePaths();
    for (const std::string& path : paths) m_job.AppendSourcePath(path);
    LogSourceSelection(paths, m_job.m_nRepairMode, m_job.m_bSkipPreview != 0);
    if (!SelectionIsRepairable(paths)) {
        m_job.ClearSourcePaths();
        m_options.wizard.ShowMessage(this, NoFilesSelectedMessage());
        return;
    }
    Hide();
    LogAnalysisHeading(m_job.m_nSourceCount);
    m_options.runPreview();
    Show();
    Raise();
}

void CVarrowDlg::ShowAboutBox() { tessaly::ShowAboutBox(this, m_options.programFolder); }

void CVarrowDlg::ShowHelpContents() { tessaly::ShowHelpContents(m_options.programFolder); }

void CVarrowDlg::OnMenuExit() {
    if (Confirmed(m_options.wizard, this, MainExitQuestion())) EndModal(wxID_CANCEL);
}

void CVarrowDlg::OnClearLog() {
    if (Confirmed(m_options.wizard, this, ClearLogQuestion())) ClearActivityLog();
}

void CVarrowDlg::OnEscape() {
    if (Confirmed(m_options.wizard, nullptr, MainEscapeQuestion())) m_options.wizard.endProcess();
}

void CVarrowDlg::OnHelpKey() { ShowHelpContents(); }

void CVarrowDlg::OnCloseBox() {
    m_repair->Disable();
    if (Confirmed(m_options.wizard, this, MainExitQuestion())) {
        m_repair->Enable();
        EndModal(wxID_OK);
        return;
    }
    m_repair->Enable();
}

// Enter ends the dialog unless a push button has the focus (which it then
// presses).
bool CVarrowDlg::OnKey(wxKeyEvent& event) {
    if (event.GetKeyCode() != WXK_RETURN && event.GetKeyCode() != WXK_NUMPAD_ENTER) return false;
    // The key comes from the window with the focus.
    if (dynamic_cast<wxButton*>(event.GetEventObject())) return false;
    EndModal(wxID_OK);
    return true;
}

}  // namespace tessaly
