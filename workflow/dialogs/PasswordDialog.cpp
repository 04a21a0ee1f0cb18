#include "workflow/dialogs/PasswordDialog.h"

#include <wx/button.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <algorithm>

#include "core/Settings.h"
#include "ui/skin/AppIcon.h"
#include "ui/skin/DialogUnits.h"

namespace tessaly {
namespace {

// Empties the field once it has answered, so the password stays in the
// control no longer than needed.
void ClearField(wxTextCtrl* field) { field->ChangeValue(wxString()); }

}  // namespace

CPasswordDialog::CPasswordDialog(wxWindow* parent, const std::string& archiveName) {
    Create(parent, wxID_ANY, "Password", 200, 96, wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX);
    SetIcons(AppIcons());
    CreateControls(archiveName);
    Bind(wxEVT_BUTTON, &CPasswordDialog::OnOk, this, IDC_PASSWORD_OK);
    Bind(wxEVT_TEXT_ENTER, &CPasswordDialog::OnOk, this, IDC_PASSWORD_TEXT);
    Bind(wxEVT_BUTTON, &CPasswordDialog::OnSkip, this, IDC_PASSWORD_SKIP);
    Bind(wxEVT_CLOSE_WINDOW, &CPasswordDialog::OnCloseBox, this);
    Bind(wxEVT_CHAR_HOOK, &CPasswordDialog::OnCharHook, this);
    Bind(wxEVT_HELP, [](wxHelpEvent&) {});  // F1 is swallowed
    SetAffirmativeId(IDC_PASSWORD_OK);
    SetEscapeId(wxID_NONE);
    Centre();
}

// Tab order: the field, OK, Skip.
void CPasswordDialog::CreateControls(const std::string& archiveName) {
    auto place = [this](int x, int y, int w, int h) { return DialogRect(this, x, y, w, h); };
    // A long name is shortened in its middle: its start and its extension
    // stay readable.
    const wxRect prompt = place(12, 38, 176, 9);
    new wxStaticText(this, IDC_PASSWORD_PROMPT, wxString::FromUTF8("Enter the password for \"" + archiveName + "\":"),
                     prompt.GetPosition(), prompt.GetSize(), wxST_NO_AUTORESIZE | wxST_ELLIPSIZE_MIDDLE);
    const wxRect field = place(12, 50, 176, 13);
    m_pField = new wxTextCtrl(this, IDC_PASSWORD_TEXT, wxString(), field.GetPosition(), field.GetSize(),
                              wxTE_PASSWORD | wxTE_PROCESS_ENTER);
    const wxRect ok = place(54, 74, 50, 14);
    auto* okButton = new wxButton(this, IDC_PASSWORD_OK, "OK", ok.GetPosition(), ok.GetSize());
    okButton->SetDefault();
    const wxRect skip = place(108, 74, 80, 14);
    auto* skipButton =
        new wxButton(this, IDC_PASSWORD_SKIP, "Skip encrypted files", skip.GetPosition(), skip.GetSize());
    // Wider fonts: the skip button grows to its text, leftwards, and OK moves with it.
    const int grow = std::max(0, skipButton->GetBestSize().GetWidth() - skipButton->GetSize().GetWidth());
    if (grow > 0) {
        skipButton->SetSize(skipButton->GetPosition().x - grow, skipButton->GetPosition().y,
                            skipButton->GetSize().GetWidth() + grow, skipButton->GetSize().GetHeight());
        okButton->Move(okButton->GetPosition() - wxPoint(grow, 0));
    }
    m_pField->SetFocus();
}

int CPasswordDialog::ShowModal() {
    LoadBackground(ProgramFolder(), "password.bmp");
    m_answer.reset();
    m_pField->SetFocus();
    return CSkinnedDialog::ShowModal();
}

void CPasswordDialog::OnOk(wxCommandEvent&) {
    m_answer = m_pField->GetValue().ToStdString(wxConvUTF8);
    ClearField(m_pField);
    if (IsModal()) EndModal(wxID_OK);
}

void CPasswordDialog::OnSkip(wxCommandEvent&) { Skip(); }

void CPasswordDialog::OnCloseBox(wxCloseEvent& event) {
    event.Veto();
    Skip();
}

void CPasswordDialog::OnCharHook(wxKeyEvent& event) {
    if (event.GetKeyCode() == WXK_ESCAPE) {
        Skip();
        return;
    }
    event.Skip();
}

void CPasswordDialog::Skip() {
    m_answer.reset();
    ClearField(m_pField);
    if (IsModal()) EndModal(IDC_PASSWORD_SKIP);
}

std::optional<std::string> AskPasswordFor(wxWindow* parent, const std::string& archiveName) {
    CPasswordDialog dialog(parent, archiveName);
    dialog.ShowModal();
    return dialog.Answer();
}

}  // namespace tessaly
