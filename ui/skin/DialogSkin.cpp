#include "ui/skin/DialogSkin.h"

#include <algorithm>
#include <unordered_map>

#include <wx/dcclient.h>
#include <wx/filefn.h>
#include <wx/image.h>
#include <wx/log.h>
#include <wx/settings.h>

#ifdef __WXMSW__
#include <windows.h>
#endif

namespace tessaly {
namespace {

// Which window wears which skin. Touched on the interface thread only.
std::unordered_map<const wxWindow*, const CDialogSkin*>& Skins() {
    static std::unordered_map<const wxWindow*, const CDialogSkin*> skins;
    return skins;
}

}  // namespace

CDialogSkin::~CDialogSkin() {
    Detach();
#ifdef __WXMSW__
    ForgetBrush();
#endif
}

void CDialogSkin::Attach(wxWindow* window) {
    Detach();
    m_window = window;
    // The paint handler covers the whole client area; the toolkit must not
    // clear it first, or the picture would flicker.
    window->SetBackgroundStyle(wxBG_STYLE_PAINT);
    window->Bind(wxEVT_PAINT, &CDialogSkin::OnPaint, this);
    window->Bind(wxEVT_DESTROY, &CDialogSkin::OnDestroy, this);
    Skins()[window] = this;
}

void CDialogSkin::Detach() {
    if (!m_window) return;
    Skins().erase(m_window);
    m_window->Unbind(wxEVT_PAINT, &CDialogSkin::OnPaint, this);
    m_window->Unbind(wxEVT_DESTROY, &CDialogSkin::OnDestroy, this);
    m_window = nullptr;
}

bool CDialogSkin::LoadBackground(const std::filesystem::path& programFolder, const wxString& fileName) {
    const wxString path = wxString(programFolder.native()) + "/" + fileName;
    wxImage picture;
    if (wxFileExists(path)) {
        wxLogNull quiet;  // an unreadable picture falls back silently
        picture.LoadFile(path, wxBITMAP_TYPE_BMP);
    }
    m_background = picture.IsOk() ? wxBitmap(picture) : wxBitmap();
    m_fitted = wxBitmap();
#ifdef __WXMSW__
    ForgetBrush();
#endif
    if (m_window) m_window->Refresh();
    return HasBackground();
}

const wxBitmap& CDialogSkin::Background() const {
    const wxSize client = m_window ? m_window->GetClientSize() : wxSize();
    if (!HasBackground() || client.x <= 0 || client.y <= 0) return m_background;
    if (m_grownBelow == 0 && client == m_background.GetSize()) return m_background;
    if (!m_fitted.IsOk() || m_fitted.GetSize() != client) m_fitted = Fitted(client);
    return m_fitted;
}

wxBitmap CDialogSkin::Fitted(const wxSize& client) const {
    const wxImage picture = m_background.ConvertToImage();
    const int above = client.y - m_grownBelow;
    if (m_grownBelow <= 0 || above <= 0) return wxBitmap(picture.Scale(client.x, client.y, wxIMAGE_QUALITY_HIGH));
    // The picture over the area it was drawn for, then its last rows drawn
    // out over the strip added below.
    const wxImage top = picture.Scale(client.x, above, wxIMAGE_QUALITY_HIGH);
    const int strip = std::min(4, above);
    const wxImage bottom = top.GetSubImage(wxRect(0, above - strip, client.x, strip))
                               .Scale(client.x, m_grownBelow, wxIMAGE_QUALITY_NORMAL);
    wxImage whole(client.x, client.y);
    whole.Paste(top, 0, 0);
    whole.Paste(bottom, 0, above);
    return wxBitmap(whole);
}

void CDialogSkin::SetGrownBelow(int pixels) {
    m_grownBelow = std::max(0, pixels);
    m_fitted = wxBitmap();
#ifdef __WXMSW__
    ForgetBrush();
#endif
    if (m_window) m_window->Refresh();
}

#ifdef __WXMSW__
WXHBRUSH CDialogSkin::ControlsBrush() const {
    if (!HasBackground()) return nullptr;
    const wxBitmap& picture = Background();
    if (m_brush && m_brushSize == picture.GetSize()) return m_brush;
    ForgetBrush();
    m_brush = ::CreatePatternBrush(static_cast<HBITMAP>(picture.GetHBITMAP()));
    m_brushSize = picture.GetSize();
    return m_brush;
}

void CDialogSkin::ForgetBrush() const {
    if (m_brush) ::DeleteObject(static_cast<HBRUSH>(m_brush));
    m_brush = nullptr;
}
#endif

void CDialogSkin::DrawBackground(wxDC& dc, const wxRect& area) const {
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(
        wxBrush(m_window ? m_window->GetBackgroundColour() : wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE)));
    dc.DrawRectangle(area);
    if (!HasBackground()) return;
    const wxBitmap& picture = Background();
    const wxRect covered = area.Intersect(wxRect(picture.GetSize()));
    if (!covered.IsEmpty()) dc.DrawBitmap(picture.GetSubBitmap(covered), covered.GetTopLeft());
}

void CDialogSkin::DrawBehind(wxDC& dc, const wxWindow* control) const {
    // The control's place in the skinned window's client area, also when it
    // sits inside an intermediate window such as a panel.
    wxPoint offset = control->GetClientAreaOrigin();
    for (const wxWindow* w = control; w && w != m_window; w = w->GetParent()) offset += w->GetPosition();
    const wxPoint origin = dc.GetDeviceOrigin();
    dc.SetDeviceOrigin(origin.x - offset.x, origin.y - offset.y);
    DrawBackground(dc, wxRect(offset, control->GetClientSize()));
    dc.SetDeviceOrigin(origin.x, origin.y);
}

const CDialogSkin* CDialogSkin::Of(const wxWindow* control) {
    for (const wxWindow* window = control ? control->GetParent() : nullptr; window; window = window->GetParent()) {
        const auto found = Skins().find(window);
        if (found != Skins().end()) return found->second;
        if (window->IsTopLevel()) break;
    }
    return nullptr;
}

void CDialogSkin::OnDestroy(wxWindowDestroyEvent& event) {
    event.Skip();
    if (event.GetEventObject() == m_window) Detach();
}

void CDialogSkin::OnPaint(wxPaintEvent&) {
    wxPaintDC dc(m_window);
    DrawBackground(dc, m_window->GetUpdateRegion().GetBox());
}

}  // namespace tessaly
