// The completion dialog: what saving came to, over the picture
// "view-log.bmp", with a check box to open the activity log. Initialising it
// writes the log's closing section. Every way out ends the process: OK
// (opening the log first when the box is checked), the close box, and
// Escape after its question.
#pragma once

#include "ui/skin/SkinnedDialog.h"
#include "workflow/SavingSummary.h"
#include "workflow/dialogs/WizardServices.h"

class wxCheckBox;
class wxStaticText;

namespace tessaly {

enum ViewLogId {
    IDC_VIEW_LOG_CHECK = 1025,
    IDC_VIEW_LOG_OK = 1026,
};

class CViewLog : public CSkinnedDialog {
public:
    // Every way out ends the process the way `wizard` says.
    CViewLog(const SavingSummary& summary, const WizardServices& wizard);

    int ShowModal() override;
    wxCheckBox* ViewLogCheck() const { return m_pCheck; }
    wxStaticText* MessageText() const { return m_pMessage; }

private:
    void CreateControls();
    wxStaticText* CreateMessage();
    void OnOk(wxCommandEvent& event);
    void OnCloseBox(wxCloseEvent& event);
    void OnCharHook(wxKeyEvent& event);
    void Leave(int code);

    SavingSummary m_summary;
    WizardServices m_services;
    wxCheckBox* m_pCheck = nullptr;
    wxStaticText* m_pMessage = nullptr;
};

}  // namespace tessaly
