#include "workflow/dialogs/ViewLog.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/statbox.h>
#include <wx/stattext.h>

#include "app/Settings.h"
#include "app/about/AboutDlg.h"
#include "log/ActivityLog.h"
#include "ui/skin/AppIcon.h"
#include "ui/skin/DialogUnits.h"
#include "ui/skin/SystemMenuAbout.h"
#include "workflow/StepMessages.h"
#include "workflow/dialogs/LabelFit.h"
#include "workflow/dialogs/MessageBoxes.h"
#include "workflow/dialogs/WizardServices.h"

namespace tessaly {

CViewLog::CViewLog(const SavingSummary& summary) : m_summary(summary) {
    Create(nullptr, wxID_ANY, wxString::FromUTF8(AppTitle), 186, 90, wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX);
    SetIcons(AppIcons());
    AddSystemMenuAbout(*this, [this] { ShowAboutBox(this, ProgramFolder()); });
    CreateControls();
    Bind(wxEVT_BUTTON, &CViewLog::OnOk, this, IDC_VIEW_LOG_OK);
    Bind(wxEVT_CLOSE_WINDOW, &CViewLog::OnCloseBox, this);
    Bind(wxEVT_CHAR_HOOK, &CViewLog::OnCharHook, this);
    Bind(wxEVT_HELP, [](wxHelpEvent&) {});  // F1 is swallowed
    SetAffirmativeId(IDC_VIEW_LOG_OK);
    SetEscapeId(wxID_NONE);
    Centre();
}

void CViewLog::CreateControls() {
    auto place = [this](int x, int y, int w, int h) { return DialogRect(this, x, y, w, h); };
    const wxRect viewLabel = place(54, 51, 41, 8);
    FitLabelWidth(new wxStaticText(this, wxID_ANY, "View Log File", viewLabel.GetPosition(), viewLabel.GetSize()));
    const wxRect ok = place(67, 71, 50, 14);
    auto* button = new wxButton(this, IDC_VIEW_LOG_OK, "OK", ok.GetPosition(), ok.GetSize());
    button->SetDefault();
    const wxRect check = place(38, 51, 8, 8);
    m_pCheck = new wxCheckBox(this, IDC_VIEW_LOG_CHECK, wxString(), check.GetPosition(), check.GetSize());
    // The outcome may be longer than the success text: it may take the
    // space down to the check box.
    const wxRect message = place(38, 35, 133, 14);
    new wxStaticText(this, wxID_ANY, wxString::FromUTF8(CompletionText(m_summary)), message.GetPosition(),
                     message.GetSize());
    const wxRect frame = place(11, 4, 164, 63);
    (new wxStaticBox(this, wxID_ANY, wxString(), frame.GetPosition(), frame.GetSize()))->Hide();
    button->SetFocus();
}

int CViewLog::ShowModal() {
    LoadBackground(ProgramFolder(), "view-log.bmp");
    LogCompletion(m_summary);
    return CSkinnedDialog::ShowModal();
}

void CViewLog::OnOk(wxCommandEvent&) {
    if (m_pCheck->IsChecked()) ViewActivityLog();
    Leave(wxID_OK);
}

void CViewLog::OnCloseBox(wxCloseEvent& event) {
    event.Veto();
    Leave(wxID_CANCEL);
}

void CViewLog::OnCharHook(wxKeyEvent& event) {
    if (event.GetKeyCode() != WXK_ESCAPE) {
        event.Skip();
        return;
    }
    if (ShowMessageBox(this, CompletionEscapeQuestion()) == MessageAnswer::Yes) Leave(wxID_CANCEL);
}

// The process ends here; the modal run only ends where ending the process
// was replaced (tests).
void CViewLog::Leave(int code) {
    Wizard().endProcess();
    if (IsModal()) EndModal(code);
}

}  // namespace tessaly
