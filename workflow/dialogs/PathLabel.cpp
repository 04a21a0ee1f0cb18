#include "workflow/dialogs/PathLabel.h"

#include <wx/control.h>
#include <wx/dcclient.h>

namespace tessaly {

wxString FittedPath(const wxControl& label, const wxString& path) {
    wxClientDC dc(const_cast<wxControl*>(&label));
    dc.SetFont(label.GetFont());
    const int width = label.GetClientSize().GetWidth();
    if (width <= 0 || dc.GetTextExtent(path).GetWidth() <= width) return path;
    return wxControl::Ellipsize(path, dc, wxELLIPSIZE_MIDDLE, width, wxELLIPSIZE_FLAGS_NONE);
}

void ShowPath(wxControl* label, const wxString& path) {
    const wxString shown = FittedPath(*label, path);
    if (label->GetLabel() != shown) label->SetLabel(shown);
    if (label->GetToolTipText() != path) label->SetToolTip(path);
}

}  // namespace tessaly
