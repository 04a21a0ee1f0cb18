#include "ui/skin/SkinnedMenuDialog.h"

#include <wx/evtloop.h>
#include <wx/settings.h>
#include <wx/utils.h>

#include "ui/skin/DialogUnits.h"
#include "ui/skin/SkinnedDialog.h"

namespace tessaly {

CSkinnedMenuDialog::CSkinnedMenuDialog() {
    m_skin.Attach(this);
    Bind(wxEVT_CHAR_HOOK, &CSkinnedMenuDialog::OnCharHook, this);
    Bind(wxEVT_CLOSE_WINDOW, &CSkinnedMenuDialog::OnClose, this);
}

CSkinnedMenuDialog::~CSkinnedMenuDialog() {
    // A window destroyed inside its own run (it should not be) must not
    // leave the loop pointing at it.
    if (m_loop) m_loop->ScheduleExit(wxID_CANCEL);
}

bool CSkinnedMenuDialog::Create(wxWindow* parent, wxWindowID id, const wxString& caption, int width, int height,
                                long style) {
    if (!wxFrame::Create(parent, id, caption, wxDefaultPosition, wxDefaultSize, style)) return false;
    SetBackgroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE));
    m_clientSize = DialogSize(this, width, height);
    SetClientSize(m_clientSize);
    return true;
}

void CSkinnedMenuDialog::SetMenuBar(wxMenuBar* menuBar) {
    wxFrame::SetMenuBar(menuBar);
    if (m_clientSize != wxSize()) SetClientSize(m_clientSize);
}

int CSkinnedMenuDialog::ShowModal() {
    if (m_loop) return wxID_CANCEL;
    if (!GetParent())
        CentreOnScreen();
    else
        CentreOnParent();
    Show();
    Raise();
    ShowNow(this);
    int code = wxID_CANCEL;
    {
        // Every other top-level window stays disabled while this one runs,
        // as under a modal dialog.
        wxWindowDisabler disabler(this);
        wxGUIEventLoop loop;
        m_loop = &loop;
        m_returnCode = wxID_CANCEL;
        m_ending = false;
        loop.Run();
        m_loop = nullptr;
        code = m_returnCode;
    }
    Hide();
    return code;
}

void CSkinnedMenuDialog::EndModal(int code) {
    if (!m_loop) {
        m_returnCode = code;
        Hide();
        return;
    }
    if (m_ending) return;
    m_ending = true;
    m_returnCode = code;
    m_loop->ScheduleExit(code);
}

void CSkinnedMenuDialog::OnCharHook(wxKeyEvent& event) {
    switch (event.GetKeyCode()) {
        case WXK_ESCAPE: OnEscape(); return;
        case WXK_F1: OnHelpKey(); return;
        default:
            if (!OnKey(event)) event.Skip();
    }
}

void CSkinnedMenuDialog::OnClose(wxCloseEvent& event) {
    // The window belongs to its owner (often the stack); the close box only
    // asks the deriving window what to do.
    if (event.CanVeto()) event.Veto();
    OnCloseBox();
}

}  // namespace tessaly
