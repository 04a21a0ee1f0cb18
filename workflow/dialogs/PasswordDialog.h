// The password dialog: asks for the password of one archive's encrypted
// entries, over the picture "password.bmp". The field does not show what is
// typed. OK (or Enter) gives the text; "Skip encrypted files", Escape and
// the close box give nothing, and saving leaves that archive's encrypted
// entries out.
//
// The saving dialog asks through its services (WizardServices.h), which
// tests give an answerer, as they do for message boxes.
#pragma once

#include <optional>
#include <string>

#include "ui/skin/SkinnedDialog.h"

class wxButton;
class wxTextCtrl;

namespace tessaly {

enum PasswordDialogId {
    IDC_PASSWORD_TEXT = 1040,
    IDC_PASSWORD_OK = 1041,
    IDC_PASSWORD_SKIP = 1042,
    IDC_PASSWORD_PROMPT = 1043,
};

class CPasswordDialog : public CSkinnedDialog {
public:
    // `archiveName` is the archive's file name, as the prompt shows it.
    CPasswordDialog(wxWindow* parent, const std::string& archiveName);

    int ShowModal() override;
    // After ShowModal: the password typed when OK ended it, else nothing.
    std::optional<std::string> Answer() const { return m_answer; }

    wxTextCtrl* PasswordField() const { return m_pField; }

private:
    void CreateControls(const std::string& archiveName);
    void OnOk(wxCommandEvent& event);
    void OnSkip(wxCommandEvent& event);
    void OnCloseBox(wxCloseEvent& event);
    void OnCharHook(wxKeyEvent& event);
    void Skip();

    wxTextCtrl* m_pField = nullptr;
    std::optional<std::string> m_answer;
};

// Interface thread. Shows the password dialog for `archiveName` and returns
// the answer.
std::optional<std::string> AskPasswordFor(wxWindow* parent, const std::string& archiveName);

}  // namespace tessaly
