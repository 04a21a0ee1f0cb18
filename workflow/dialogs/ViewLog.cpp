#include "workflow/dialogs/ViewLog.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/statbox.h>
#include <wx/stattext.h>

#include <algorithm>

#include "core/Settings.h"
#include "log/ActivityLog.h"
#include "ui/about/AboutDlg.h"
#include "ui/skin/AppIcon.h"
#include "ui/skin/DialogUnits.h"
#include "ui/skin/SystemMenuAbout.h"
#include "workflow/StepMessages.h"
#include "workflow/dialogs/LabelFit.h"

namespace tessaly {

CViewLog::CViewLog(const SavingSummary& summary, const WizardServices& wizard)
    : m_summary(summary), m_services(wizard) {
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
    auto* checkLabel = new wxStaticText(this, wxID_ANY, "View Log File", viewLabel.GetPosition(), viewLabel.GetSize());
    FitLabelWidth(checkLabel);
    const wxRect ok = place(67, 71, 50, 14);
    auto* button = new wxButton(this, IDC_VIEW_LOG_OK, "OK", ok.GetPosition(), ok.GetSize());
    button->SetDefault();
    const wxRect check = place(38, 51, 8, 8);
    m_pCheck = new wxCheckBox(this, IDC_VIEW_LOG_CHECK, wxString(), check.GetPosition(), check.GetSize());
    m_pMessage = CreateMessage();
    const wxRect frame = place(11, 4, 164, 63);
    auto* group = new wxStaticBox(this, wxID_ANY, wxString(), frame.GetPosition(), frame.GetSize());
    group->Hide();
    // A text longer than its box pushes the check box and OK down, with a
    // gap, so the two never crowd each other; the dialog grows to match.
    const int gap = DialogRect(this, 0, 0, 0, 4).height;
    const int overflow = m_pMessage->GetRect().GetBottom() + 1 + gap - m_pCheck->GetRect().GetTop();
    if (overflow > 0) {
        for (wxWindow* below :
             {static_cast<wxWindow*>(m_pCheck), static_cast<wxWindow*>(checkLabel), static_cast<wxWindow*>(button)})
            below->Move(below->GetPosition() + wxPoint(0, overflow));
        group->SetSize(group->GetSize() + wxSize(0, overflow));
        GrowBelowLayout(overflow);
    }
    button->SetFocus();
}

// The outcome, wrapped to its box. "Saving Completed Successfully" stands
// where it always has; a longer outcome takes the frame's whole width and
// as many lines as it needs.
wxStaticText* CViewLog::CreateMessage() {
    const wxString text = wxString::FromUTF8(CompletionText(m_summary));
    const wxRect success = DialogRect(this, 38, 35, 133, 10);
    const wxRect wide = DialogRect(this, 16, 35, 156, 10);
    auto* message = new wxStaticText(this, wxID_ANY, text, success.GetPosition(), success.GetSize());
    if (message->GetBestSize().GetWidth() <= success.width) return message;
    message->SetSize(wide);
    message->Wrap(wide.width);
    const wxSize wrapped = message->GetBestSize();
    message->SetSize(wide.x, wide.y, wide.width, std::max(wide.height, wrapped.GetHeight()));
    return message;
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
    if (m_services.ShowMessage(this, CompletionEscapeQuestion()) == MessageAnswer::Yes) Leave(wxID_CANCEL);
}

// The process ends here; the modal run only ends where ending the process
// was replaced (tests).
void CViewLog::Leave(int code) {
    m_services.endProcess();
    if (IsModal()) EndModal(code);
}

}  // namespace tessaly
