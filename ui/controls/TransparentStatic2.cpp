#include "ui/controls/TransparentStatic2.h"

#include <wx/dcmemory.h>

#include "ui/controls/MemDC.h"
#include "ui/skin/DialogSkin.h"

namespace tessaly {
namespace {

// Breaks `text` into lines no wider than `width`, at blanks where possible
// and after path separators for long paths.
wxArrayString WrapLines(const wxDC& dc, const wxString& text, int width) {
    wxArrayString lines;
    wxString line;
    for (const wxUniChar ch : text) {
        if (ch == '\n') {
            lines.push_back(line);
            line.clear();
            continue;
        }
        line += ch;
        if (dc.GetTextExtent(line).GetWidth() <= width || line.length() == 1) continue;
        size_t cut = line.find_last_of(" /\\", line.length() - 2);
        if (cut == wxString::npos) cut = line.length() - 2;
        lines.push_back(line.Left(cut + 1).Strip(wxString::trailing));
        line = line.Mid(cut + 1);
    }
    lines.push_back(line);
    return lines;
}

}  // namespace

bool CTransparentStatic2::Create(wxWindow* parent, wxWindowID id, const wxString& label, const wxPoint& pos,
                                 const wxSize& size, long style) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    if (!wxControl::Create(parent, id, pos, size, style | wxBORDER_NONE)) return false;
    wxControl::SetLabel(label);
    Bind(wxEVT_PAINT, &CTransparentStatic2::OnPaint, this);
    return true;
}

void CTransparentStatic2::SetLabel(const wxString& label) {
    wxControl::SetLabel(label);
    Refresh();
    Update();
}

void CTransparentStatic2::TakeSnapshot(const wxSize& size) {
    const CDialogSkin* skin = CDialogSkin::Of(this);
    const wxRect place(GetPosition(), size);
    const wxBitmap source = skin ? skin->Background() : wxBitmap();
    if (m_snapshot.IsOk() && place == m_snapshotRect && source.IsSameAs(m_snapshotSource)) return;
    m_snapshot.Create(size);
    wxMemoryDC dc(m_snapshot);
    if (skin) {
        skin->DrawBehind(dc, this);
    } else {
        dc.SetBackground(wxBrush(GetParent()->GetBackgroundColour()));
        dc.Clear();
    }
    m_snapshotRect = place;
    m_snapshotSource = source;
}

void CTransparentStatic2::Render(wxDC& dc, const wxSize& size) {
    if (size.GetWidth() <= 0 || size.GetHeight() <= 0) return;
    TakeSnapshot(size);
    dc.DrawBitmap(m_snapshot, 0, 0);
    dc.SetFont(GetFont());
    dc.SetTextForeground(GetForegroundColour());
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
    const wxArrayString lines = WrapLines(dc, GetLabel(), size.GetWidth());
    const int lineHeight = dc.GetCharHeight();
    int alignment = wxALIGN_LEFT;
    if (HasFlag(wxALIGN_RIGHT))
        alignment = wxALIGN_RIGHT;
    else if (HasFlag(wxALIGN_CENTRE_HORIZONTAL))
        alignment = wxALIGN_CENTRE_HORIZONTAL;
    for (size_t i = 0; i < lines.size(); ++i) {
        const wxRect row(0, static_cast<int>(i) * lineHeight, size.GetWidth(), lineHeight);
        dc.DrawLabel(lines[i], row, alignment | wxALIGN_TOP);
    }
}

wxSize CTransparentStatic2::DoGetBestSize() const {
    wxClientDC dc(const_cast<CTransparentStatic2*>(this));
    dc.SetFont(GetFont());
    return dc.GetMultiLineTextExtent(GetLabel());
}

void CTransparentStatic2::OnPaint(wxPaintEvent&) {
    CMemDC dc(this);
    Render(dc, GetClientSize());
}

}  // namespace tessaly
