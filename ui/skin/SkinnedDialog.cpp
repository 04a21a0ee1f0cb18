#include "ui/skin/SkinnedDialog.h"

#include <wx/dcclient.h>
#include <wx/image.h>
#include <wx/log.h>

#include "ui/skin/DialogUnits.h"

namespace tessaly {

bool CSkinnedDialog::Create(wxWindow* parent, wxWindowID id, const wxString& caption, int width,
                            int height, long style) {
  // The picture is painted in the paint handler; the toolkit must not clear
  // the client area first, or the picture would flicker.
  SetBackgroundStyle(wxBG_STYLE_PAINT);
  if (!wxDialog::Create(parent, id, caption, wxDefaultPosition, wxDefaultSize, style))
    return false;
  SetClientSize(DialogSize(this, width, height));
  Bind(wxEVT_PAINT, &CSkinnedDialog::OnPaint, this);
  return true;
}

bool CSkinnedDialog::LoadBackground(const std::filesystem::path& programFolder,
                                    const wxString& fileName) {
  const wxString path = wxString(programFolder.native()) + "/" + fileName;
  wxImage picture;
  if (wxFileExists(path)) {
    wxLogNull quiet;  // an unreadable picture falls back silently
    picture.LoadFile(path, wxBITMAP_TYPE_BMP);
  }
  m_background = picture.IsOk() ? wxBitmap(picture) : wxBitmap();
  Refresh();
  return HasBackground();
}

void CSkinnedDialog::DrawBackground(wxDC& dc, const wxRect& area) const {
  dc.SetPen(*wxTRANSPARENT_PEN);
  dc.SetBrush(wxBrush(GetBackgroundColour()));
  dc.DrawRectangle(area);
  if (!HasBackground())
    return;
  const wxRect covered = area.Intersect(wxRect(m_background.GetSize()));
  if (covered.IsEmpty())
    return;
  dc.DrawBitmap(m_background.GetSubBitmap(covered), covered.GetTopLeft());
}

const CSkinnedDialog* CSkinnedDialog::Of(const wxWindow* control) {
  for (const wxWindow* window = control ? control->GetParent() : nullptr; window;
       window = window->GetParent()) {
    if (auto skinned = dynamic_cast<const CSkinnedDialog*>(window))
      return skinned;
    if (window->IsTopLevel())
      break;
  }
  return nullptr;
}

void CSkinnedDialog::OnPaint(wxPaintEvent&) {
  wxPaintDC dc(this);
  DrawBackground(dc, GetUpdateRegion().GetBox());
}

}  // namespace tessaly
