#include "ui/controls/URLLinkButton.h"

#include <wx/dcclient.h>
#include <wx/settings.h>

#include "ui/controls/MemDC.h"
#include "ui/skin/DialogSkin.h"

namespace tessaly {
namespace {

bool IsActivationKey(int code) { return code == WXK_SPACE || code == WXK_RETURN || code == WXK_NUMPAD_ENTER; }

// The hover colour must differ from the link colour to be seen; some themes
// give both system colours the same value.
wxColour VisibleHoverColour(const wxColour& link) {
    const wxColour hot = wxSystemSettings::GetColour(wxSYS_COLOUR_HOTLIGHT);
    return hot.IsOk() && hot != link ? hot : link.ChangeLightness(140);
}

}  // namespace

CURLLinkButton::CURLLinkButton()
    : m_crLink(wxSystemSettings::GetColour(wxSYS_COLOUR_HIGHLIGHT)),
      m_crHover(VisibleHoverColour(m_crLink)),
      m_crVisited(ToColour(MakeColorRef(128, 0, 128))),
      m_crDisabled(wxSystemSettings::GetColour(wxSYS_COLOUR_GRAYTEXT)) {}

bool CURLLinkButton::Create(wxWindow* parent, wxWindowID id, const wxString& label, const wxPoint& pos,
                            const wxSize& size) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    if (!wxControl::Create(parent, id, pos, size, wxBORDER_NONE)) return false;
    wxControl::SetLabel(label);
    SetCursor(wxCursor(wxCURSOR_HAND));
    Bind(wxEVT_PAINT, &CURLLinkButton::OnPaint, this);
    Bind(wxEVT_ENTER_WINDOW, &CURLLinkButton::OnEnter, this);
    Bind(wxEVT_LEAVE_WINDOW, &CURLLinkButton::OnLeave, this);
    Bind(wxEVT_LEFT_DOWN, &CURLLinkButton::OnLeftDown, this);
    Bind(wxEVT_LEFT_UP, &CURLLinkButton::OnLeftUp, this);
    // The dialog sees a key before the control does (as a char hook) and
    // would press its default button on Enter; the link swallows it there.
    Bind(wxEVT_CHAR_HOOK, &CURLLinkButton::OnKeyDown, this);
    Bind(wxEVT_KEY_DOWN, &CURLLinkButton::OnKeyDown, this);
    Bind(wxEVT_KEY_UP, &CURLLinkButton::OnKeyUp, this);
    Bind(wxEVT_SET_FOCUS, &CURLLinkButton::OnFocusChange, this);
    Bind(wxEVT_KILL_FOCUS, &CURLLinkButton::OnFocusChange, this);
    return true;
}

void CURLLinkButton::SetVisited(bool visited) {
    m_bVisited = visited;
    Refresh();
}

wxColour CURLLinkButton::CurrentTextColour() const {
    if (!IsEnabled()) return m_crDisabled;
    if (m_bHover) return m_crHover;
    return m_bVisited ? m_crVisited : m_crLink;
}

const wxFont& CURLLinkButton::LinkFont() {
    if (!m_font.IsOk()) {
        m_font = GetFont();
        m_font.SetPixelSize(wxSize(0, 14));
        m_font.SetWeight(wxFONTWEIGHT_EXTRABOLD);
        m_font.SetUnderlined(true);
    }
    return m_font;
}

void CURLLinkButton::Render(wxDC& dc, const wxSize& size) {
    const wxRect client(size);
    if (const CDialogSkin* skin = CDialogSkin::Of(this)) {
        skin->DrawBehind(dc, this);
    } else {
        dc.SetPen(*wxTRANSPARENT_PEN);
        dc.SetBrush(wxBrush(GetParent()->GetBackgroundColour()));
        dc.DrawRectangle(client);
    }
    // A disabled link shows its plain font, like a greyed label.
    dc.SetFont(IsEnabled() ? LinkFont() : GetFont());
    dc.SetTextForeground(CurrentTextColour());
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
    dc.DrawLabel(GetLabel(), client, wxALIGN_LEFT | wxALIGN_TOP);
}

wxSize CURLLinkButton::DoGetBestSize() const {
    wxClientDC dc(const_cast<CURLLinkButton*>(this));
    dc.SetFont(const_cast<CURLLinkButton*>(this)->LinkFont());
    return dc.GetTextExtent(GetLabel());
}

void CURLLinkButton::Activate() {
    wxCommandEvent event(wxEVT_BUTTON, GetId());
    event.SetEventObject(this);
    ProcessWindowEvent(event);
}

void CURLLinkButton::OnPaint(wxPaintEvent&) {
    CMemDC dc(this);
    Render(dc, GetClientSize());
}

void CURLLinkButton::OnEnter(wxMouseEvent& event) {
    m_bHover = true;
    Refresh();
    event.Skip();
}

void CURLLinkButton::OnLeave(wxMouseEvent& event) {
    m_bHover = false;
    m_bPressed = false;
    Refresh();
    event.Skip();
}

void CURLLinkButton::OnLeftDown(wxMouseEvent& event) {
    m_bPressed = true;
    SetFocus();
    event.Skip();
}

void CURLLinkButton::OnLeftUp(wxMouseEvent& event) {
    const bool click = m_bPressed && wxRect(GetClientSize()).Contains(event.GetPosition());
    m_bPressed = false;
    event.Skip();
    if (click) Activate();
}

void CURLLinkButton::OnKeyDown(wxKeyEvent& event) {
    if (IsActivationKey(event.GetKeyCode())) {
        m_bKeyFlag = true;  // swallowed: the keyboard never follows a link
        return;
    }
    m_bKeyFlag = false;
    event.Skip();
}

void CURLLinkButton::OnKeyUp(wxKeyEvent& event) {
    const int code = event.GetKeyCode();
    if (code == WXK_SPACE || (IsActivationKey(code) && m_bKeyFlag)) {
        m_bKeyFlag = false;
        return;
    }
    m_bKeyFlag = false;
    event.Skip();
}

void CURLLinkButton::OnFocusChange(wxFocusEvent& event) {
    event.Skip();
    Refresh();
}

}  // namespace tessaly
