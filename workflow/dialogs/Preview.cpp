#include "workflow/dialogs/Preview.h"

#include <wx/button.h>
#include <wx/dcclient.h>
#include <wx/menu.h>
#include <wx/stattext.h>

#include <optional>
#include <string>
#include <vector>

#include "core/Settings.h"
#include "log/ActivityLog.h"
#include "log/LogSections.h"
#include "platform/FileSystem.h"
#include "res/MainMenu.h"
#include "ui/about/AboutDlg.h"
#include "ui/about/HelpContents.h"
#include "ui/controls/TransparentStatic.h"
#include "ui/shell/Pickers.h"
#include "ui/skin/AppIcon.h"
#include "ui/skin/DialogUnits.h"
#include "ui/skin/SystemMenuAbout.h"
#include "workflow/Destination.h"
#include "workflow/MenuMessages.h"
#include "workflow/RepairJob.h"
#include "workflow/RepairingRun.h"
#include "workflow/StepMessages.h"
#include "workflow/dialogs/EntryList.h"
#include "workflow/dialogs/FileSave.h"
#include "workflow/dialogs/LabelFit.h"
#include "workflow/dialogs/PathLabel.h"
#include "workflow/dialogs/ProgressBar.h"

namespace tessaly {
namespace {

wxString Decimal(int number) { return wxString::Format("%d", number); }

struct ButtonPlace {
    int id;
    const char* text;
    int x, y, w, h;
};

constexpr ButtonPlace kButtons[] = {
    {IDC_PREVIEW_NEXT_FILE, "Next File", 244, 244, 74, 14},
    {IDC_PREVIEW_BACK_FILE, "Back File", 166, 244, 74, 14},
    {IDC_PREVIEW_SAVE_CURRENT, "Save Current File", 331, 266, 82, 14},
    {IDC_PREVIEW_SAVE_ALL, "Save All", 417, 266, 50, 14},
    {IDC_PREVIEW_BACK, "Back", 14, 266, 50, 14},
};

}  // namespace

CPreview::CPreview(const WizardServices& services) : m_services(services), m_job(*m_services.job) {
    Create(nullptr, wxID_ANY, wxString::FromUTF8(AppTitle), 484, 292);
    LoadBackground(ProgramFolder(), "preview.bmp");
    SetIcons(AppIcons());
    AddSystemMenuAbout(*this, [this] { ShowAboutBox(this, ProgramFolder()); });
    SetMenuBar(CreatePreviewMenuBar());
    CreateControls();
    Bind(wxEVT_PAINT, &CPreview::OnPaint, this);
    Bind(wxEVT_BUTTON, &CPreview::OnNextFile, this, IDC_PREVIEW_NEXT_FILE);
    Bind(wxEVT_BUTTON, &CPreview::OnBackFile, this, IDC_PREVIEW_BACK_FILE);
    Bind(wxEVT_BUTTON, &CPreview::OnBack, this, IDC_PREVIEW_BACK);
    Bind(wxEVT_BUTTON, &CPreview::OnSaveCurrent, this, IDC_PREVIEW_SAVE_CURRENT);
    Bind(wxEVT_BUTTON, &CPreview::OnSaveAll, this, IDC_PREVIEW_SAVE_ALL);
    Bind(wxEVT_MENU, &CPreview::OnSaveCurrent, this, ID_FILE_SAVE_CURRENT);
    Bind(wxEVT_MENU, &CPreview::OnSaveAll, this, ID_FILE_SAVE_ALL);
    Bind(wxEVT_MENU, &CPreview::OnSaveRepaired, this, ID_FILE_SAVE_REPAIRED);
    Bind(wxEVT_MENU, &CPreview::OnMenuExit, this, ID_FILE_EXIT);
    Bind(
        wxEVT_MENU, [](wxCommandEvent&) { ViewActivityLog(); }, ID_OPTION_VIEW_LOG);
    Bind(wxEVT_MENU, &CPreview::OnClearLog, this, ID_OPTION_CLEAR_LOG);
    Bind(
        wxEVT_MENU, [](wxCommandEvent&) { ShowHelpContents(ProgramFolder()); }, ID_HELP_CONTENTS);
    // No system menu here: Help > About Us stands in for its About entry.
    Bind(
        wxEVT_MENU, [this](wxCommandEvent&) { ShowAboutBox(this, ProgramFolder()); }, ID_HELP_ABOUT);
    InitialiseState();
    Centre();
}

void CPreview::CreateControls() {
    auto place = [this](int x, int y, int w, int h) { return DialogRect(this, x, y, w, h); };
    for (const ButtonPlace& b : kButtons) {
        const wxRect r = place(b.x, b.y, b.w, b.h);
        new wxButton(this, b.id, b.text, r.GetPosition(), r.GetSize());
    }
    auto label = [&](int id, const char* text, int x, int y, int w, int h) {
        const wxRect r = place(x, y, w, h);
        auto* control = new wxStaticText(this, id, text, r.GetPosition(), r.GetSize());
        FitLabelWidth(control);
        return control;
    };
    auto value = [&](int id, int x, int y, int w, int h, long style = 0) {
        const wxRect r = place(x, y, w, h);
        return new CTransparentStatic(this, id, wxString(), r.GetPosition(), r.GetSize(), style);
    };
    wxWindow* pathLabel = label(IDC_PREVIEW_PATH_LABEL, "Source File Path    :", 17, 50, 66, 8);
    m_pPath = value(IDC_PREVIEW_PATH, 83, 50, 385, 17, wxST_NO_AUTORESIZE);
    KeepRightOf(m_pPath, pathLabel);
    label(wxID_ANY, " File Number :", 16, 247, 47, 8);
    m_pNumber = value(IDC_PREVIEW_NUMBER, 61, 247, 12, 8, wxALIGN_RIGHT | wxST_NO_AUTORESIZE);
    label(IDC_PREVIEW_SLASH, "/", 76, 247, 8, 8);
    m_pTotal = label(IDC_PREVIEW_TOTAL, "", 82, 247, 13, 8);
    const wxRect list = place(15, 79, 452, 157);
    m_pList = new CEntryList(this, IDC_PREVIEW_LIST, list.GetPosition(), list.GetSize());
    wxWindow* shownLabel = label(IDC_PREVIEW_SHOWN_LABEL, "Number Of Files Extracted :", 18, 66, 90, 12);
    m_pShown = value(IDC_PREVIEW_SHOWN, 108, 65, 69, 12);
    KeepRightOf(m_pShown, shownLabel);
    m_pList->SetCountLabel(m_pShown);
    SwallowRightClicks();
}

// Right presses and double clicks do nothing anywhere in the preview (the
// list's own rows included: it draws them in child windows).
void CPreview::SwallowRightClicks() {
    std::vector<wxWindow*> windows{this};
    for (wxWindow* child : GetChildren()) {
        windows.push_back(child);
        for (wxWindow* grandchild : child->GetChildren()) windows.push_back(grandchild);
    }
    for (wxWindow* window : windows) {
        window->Bind(wxEVT_RIGHT_DOWN, [](wxMouseEvent&) {});
        window->Bind(wxEVT_RIGHT_DCLICK, [](wxMouseEvent&) {});
        window->Bind(wxEVT_CONTEXT_MENU, [](wxContextMenuEvent&) {});
    }
}

// Enter does nothing here: there is no default command to press.
bool CPreview::OnKey(wxKeyEvent& event) {
    const int key = event.GetKeyCode();
    return key == WXK_RETURN || key == WXK_NUMPAD_ENTER;
}

void CPreview::InitialiseState() {
    wxMenuBar* menu = GetMenuBar();
    for (int id : {ID_FILE_SELECT, ID_OPTION_SKIP_PREVIEW, ID_MODE_QUICK, ID_MODE_ADVANCE}) menu->Enable(id, false);
    for (const ButtonPlace& b : kButtons) EnableButton(b.id, false);
    m_job.m_nCurrentFile = 0;
    if (m_job.m_bSkipPreview == 1) {
        EnableButton(IDC_PREVIEW_BACK, true);
        EnableButton(IDC_PREVIEW_SAVE_ALL, true);
        m_pNumber->SetLabel(Decimal(m_job.m_nSourceCount));
        m_pTotal->SetLabel(Decimal(m_job.m_nSourceCount));
        FindWindow(IDC_PREVIEW_PATH_LABEL)->Disable();
        FindWindow(IDC_PREVIEW_SHOWN_LABEL)->Disable();
        menu->Enable(ID_FILE_SAVE_CURRENT, false);
        menu->Enable(ID_FILE_SAVE_REPAIRED, false);
        m_bShowSkipNotice = true;
    } else {
        m_job.m_nCurrentFile = 1;
        ShowPath(m_pPath, wxString::FromUTF8(m_job.GetSourcePath(0)));
        m_pNumber->SetLabel(Decimal(1));
        m_pTotal->SetLabel(Decimal(m_job.m_nSourceCount));
        UpdateNavigation();
    }
    m_bRunAnalysisOnPaint = true;
}

void CPreview::EnableButton(int id, bool enable) { FindWindow(id)->Enable(enable); }

// The first paint starts what is due (the first analysis, or the Skip
// Preview notice), once the preview is on screen behind it.
void CPreview::OnPaint(wxPaintEvent& event) {
    event.Skip();
    if ((m_bRunAnalysisOnPaint || m_bShowSkipNotice) && !m_bDueScheduled) {
        m_bDueScheduled = true;
        CallAfter([this] { RunDueStep(); });
    }
}

void CPreview::RunDueStep() {
    m_bDueScheduled = false;
    if (m_job.m_bSkipPreview == 0 && m_bRunAnalysisOnPaint) {
        m_bRunAnalysisOnPaint = false;
        RunAnalysis();
    }
    m_bRunAnalysisOnPaint = false;
    if (m_job.m_bSkipPreview == 1 && m_bShowSkipNotice) {
        m_bShowSkipNotice = false;
        m_services.ShowMessage(this, SkipPreviewNotice());
    }
}

void CPreview::RunAnalysis() {
    m_bBusy = true;
    {
        CProgressBar analysis(m_services, *m_pList);
        analysis.ShowModal();
    }
    UpdateSaveButtons();
    m_bBusy = false;
}

void CPreview::ShowArchive(int number) {
    m_job.m_nCurrentFile = number;
    ShowPath(m_pPath, wxString::FromUTF8(m_job.GetSourcePath(number - 1)));
    m_pNumber->SetLabel(Decimal(number));
    m_pShown->SetLabel(wxString());
    UpdateNavigation();
    RunAnalysis();
}

void CPreview::UpdateNavigation() {
    for (int id : {IDC_PREVIEW_BACK_FILE, IDC_PREVIEW_NEXT_FILE, IDC_PREVIEW_BACK, IDC_PREVIEW_SAVE_ALL,
                   IDC_PREVIEW_SAVE_CURRENT})
        EnableButton(id, false);
    GetMenuBar()->Enable(ID_FILE_SAVE_REPAIRED, false);
    const int count = m_job.m_nSourceCount;
    const int current = m_job.m_nCurrentFile;
    if (count <= 1) return;
    EnableButton(IDC_PREVIEW_NEXT_FILE, current < count);
    EnableButton(IDC_PREVIEW_BACK_FILE, current > 1);
}

void CPreview::UpdateSaveButtons() {
    EnableButton(IDC_PREVIEW_SAVE_ALL, true);
    EnableButton(IDC_PREVIEW_BACK, true);
    const bool rows = m_pList->RowCount() > 0;
    EnableButton(IDC_PREVIEW_SAVE_CURRENT, rows);
    GetMenuBar()->Enable(ID_FILE_SAVE_CURRENT, rows);
    // A repaired archive is made of the archive shown, once its analysis listed entries.
    GetMenuBar()->Enable(ID_FILE_SAVE_REPAIRED, rows && m_job.m_nCurrentFile > 0);
}

void CPreview::OnNextFile(wxCommandEvent&) {
    if (m_job.m_nCurrentFile < m_job.m_nSourceCount) ShowArchive(m_job.m_nCurrentFile + 1);
}

void CPreview::OnBackFile(wxCommandEvent&) {
    if (m_job.m_nCurrentFile > 1) ShowArchive(m_job.m_nCurrentFile - 1);
}

void CPreview::OnBack(wxCommandEvent&) {
    if (m_services.ShowMessage(this, PreviewBackQuestion()) != MessageAnswer::Yes) return;
    m_job.ClearSourcePaths();
    LogReturnBack();
    EndModal(wxID_CANCEL);
}

// The folder browser, then the checks; true with `destination` filled when
// saving may start.
bool CPreview::ChooseDestination(std::string& destination) {
    const std::string folder = m_services.Pickers().PickFolder(this, PickerStartFolder(m_job));
    if (folder.empty()) return false;
    destination = folder;
    std::string reason;
    switch (CheckDestination(folder, &reason)) {
        case DestinationCheck::Usable: m_job.m_szLastDestination = folder; return true;
        case DestinationCheck::NotWritable:
            LogDestinationRefused(folder, reason);
            m_services.ShowMessage(this, DestinationNotWritableMessage(reason));
            return false;
        case DestinationCheck::Missing: m_services.ShowMessage(this, DestinationMissingMessage()); return false;
    }
    return false;
}

void CPreview::OnSaveCurrent(wxCommandEvent&) {
    if (!FindWindow(IDC_PREVIEW_SAVE_CURRENT)->IsEnabled()) return;
    if (!ChooseDestination(m_job.m_szCurrentFileDest)) return;
    m_job.m_bSaveCurrentOnly = 1;
    RunSaving(m_job.m_nSourceCount == 1);
}

void CPreview::OnSaveAll(wxCommandEvent&) {
    if (!FindWindow(IDC_PREVIEW_SAVE_ALL)->IsEnabled()) return;
    if (!ChooseDestination(m_job.m_szAllFilesDest)) return;
    m_job.m_bSaveCurrentOnly = 0;
    RunSaving(true);
}

// Saving decides what follows; after Save Current File with several
// archives the preview is back as it was.
void CPreview::RunSaving(bool hide) {
    m_bBusy = true;
    if (hide) Hide();
    {
        CFileSave saving(m_services);
        saving.ShowModal();
    }
    if (hide && IsModal()) Show();
    m_bBusy = false;
}

// The save picker, then the repair under the saving dialog, then how it went.
void CPreview::OnSaveRepaired(wxCommandEvent&) {
    if (!GetMenuBar()->IsEnabled(ID_FILE_SAVE_REPAIRED) || m_job.m_nCurrentFile < 1) return;
    const std::string archive = m_job.GetSourcePath(m_job.m_nCurrentFile - 1);
    const std::string output = ChooseRepairedArchive(archive);
    if (output.empty()) return;
    RunRepairing(archive, output);
}

// The file the repaired archive goes to, proposed beside the archive; empty
// when the user cancelled or the file cannot take it (the user was told
// why). The picker asked before replacing a file, so a file may be replaced.
std::string CPreview::ChooseRepairedArchive(const std::string& archive) {
    const RepairedArchiveProposal proposal = ProposeRepairedArchive(archive);
    const std::string output = m_services.Pickers().PickSaveFile(this, proposal.folder, proposal.name);
    if (output.empty()) return output;
    if (std::optional<std::string> refusal = RepairRefusal(PathFromUtf8(archive), PathFromUtf8(output), true)) {
        m_services.ShowMessage(this, RepairRefusedMessage(*refusal));
        return std::string();
    }
    return output;
}

// The saving dialog runs the repair and closes when it is over, stopped or
// not; the preview stays as it was behind it.
void CPreview::RunRepairing(const std::string& archive, const std::string& output) {
    CRepairingRun& run = *m_services.repairing;
    m_bBusy = true;
    run.Prepare(archive, output);
    {
        CFileSave repairing(m_services, run);
        repairing.ShowModal();
    }
    run.Wait();
    m_services.ShowMessage(this, RepairingEndMessage(run.Summary()));
    m_bBusy = false;
}

void CPreview::EndProcessOnYes(const Message& question) {
    if (m_services.ShowMessage(this, question) != MessageAnswer::Yes) return;
    m_services.endProcess();
    // Only reached where ending the process was replaced (tests).
    EndModal(wxID_CANCEL);
}

void CPreview::OnMenuExit(wxCommandEvent&) { EndProcessOnYes(PreviewMenuExitQuestion()); }
void CPreview::OnEscape() { EndProcessOnYes(PreviewEscapeQuestion()); }
void CPreview::OnCloseBox() { EndProcessOnYes(PreviewCloseQuestion()); }
void CPreview::OnHelpKey() { ShowHelpContents(ProgramFolder()); }

void CPreview::OnClearLog(wxCommandEvent&) {
    if (m_services.ShowMessage(this, ClearLogQuestion()) == MessageAnswer::Yes) ClearActivityLog();
}

}  // namespace tessaly
