#include "ui/controls/TransparentStatic.h"

namespace tessaly {

void CTransparentStatic::SetLabel(const wxString& label) {
    wxStaticText::SetLabel(label);
    wxWindow* parent = GetParent();
    if (!parent) return;
    // The label's rectangle is in the parent's client coordinates already.
    parent->RefreshRect(GetRect(), true);
    parent->Update();
}

}  // namespace tessaly
