#include "ui/skin/SkinnedDialog.h"

#include "ui/skin/DialogUnits.h"

namespace tessaly {

bool CSkinnedDialog::Create(wxWindow* parent, wxWindowID id, const wxString& caption, int width, int height,
                            long style) {
    if (!wxDialog::Create(parent, id, caption, wxDefaultPosition, wxDefaultSize, style)) return false;
    SetClientSize(DialogSize(this, width, height));
    return true;
}

void CSkinnedDialog::GrowBelowLayout(int pixels) {
    if (pixels <= 0) return;
    SetClientSize(GetClientSize() + wxSize(0, pixels));
    m_skin.SetGrownBelow(pixels);
}

bool CSkinnedDialog::Show(bool show) {
    const bool changed = wxDialog::Show(show);
    if (show) ShowNow(this);
    return changed;
}

void ShowNow(wxWindow* window) {
    if (!window->IsShown()) return;
    window->Refresh();
    window->Update();
}

}  // namespace tessaly
