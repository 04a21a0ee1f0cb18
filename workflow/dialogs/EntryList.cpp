#include "workflow/dialogs/EntryList.h"

#include <algorithm>

#include <wx/settings.h>

namespace tessaly {
namespace {

struct Column {
    const char* caption;
    const char* widest;  // the widest text the column shows, when known
};

// The name column first: it takes the room the others leave.
constexpr Column kColumns[] = {
    {"File Name", ""},
    {"UnCompressed File Size", "1023   Bytes"},
    {"Compressed File Size", "1023   Bytes"},
    {"Compression Ratio", "100%"},
    {"Modified Time", "00 May 0000, 00:00:00"},
    {"CRC 32", "4294967295"},
};
// Shown only while an encrypted entry is listed.
constexpr Column kEncryption = {"Encryption", ""};
constexpr int kNameColumn = 0;
constexpr int kEncryptionColumn = 6;
// The name column is never narrower than this (DIP), however wide the rest.
constexpr int kNarrowestName = 160;

const std::string& ColumnText(const EntryRow& row, long column) {
    switch (column) {
        case 0: return row.name;
        case 1: return row.size;
        case 2: return row.packedSize;
        case 3: return row.ratio;
        case 4: return row.modifiedTime;
        case 5: return row.crc;
        default: return row.encryption;
    }
}

}  // namespace

CEntryList::CEntryList(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size)
    : wxListCtrl(parent, id, pos, size,
                 wxLC_REPORT | wxLC_VIRTUAL | wxLC_SINGLE_SEL | wxLC_HRULES | wxLC_VRULES | wxBORDER_SUNKEN) {
    // What the caption and the widest value need in the desktop's font.
    for (const Column& column : kColumns) {
        AppendColumn(column.caption, wxLIST_FORMAT_LEFT, TextWidth(column.caption));
        WidenColumn(static_cast<int>(&column - kColumns), column.widest);
    }
    FitNameColumn();
    KeepHeaderAligned();
}

// A column's width for `text`: the text and the margins the list draws
// around it.
int CEntryList::TextWidth(const wxString& text) const { return GetTextExtent(text).GetWidth() + FromDIP(16); }

void CEntryList::WidenColumn(int column, const wxString& text) {
    if (text.empty()) return;
    const int width = TextWidth(text);
    if (width > GetColumnWidth(column)) SetColumnWidth(column, width);
}

// Every column but the name shows its whole content; the name column takes
// what room is left, or more when a name needs it (the list then scrolls
// sideways).
void CEntryList::FitNameColumn() {
    int others = 0;
    for (int column = 0; column < GetColumnCount(); ++column)
        if (column != kNameColumn) others += GetColumnWidth(column);
    const int scrollBar = std::max(0, wxSystemSettings::GetMetric(wxSYS_VSCROLL_X, this));
    const int room = GetClientSize().GetWidth() - others - scrollBar - FromDIP(2);
    const int width = std::max({FromDIP(kNarrowestName), room, m_nWidestName});
    if (width != GetColumnWidth(kNameColumn)) SetColumnWidth(kNameColumn, width);
}

// Measures what the rows added since the last call need: a name is
// measured only when it has more characters than the longest measured so
// far, so a long listing costs a comparison per row.
void CEntryList::MeasureNewRows() {
    for (; m_nMeasured < m_rows.size(); ++m_nMeasured) {
        const EntryRow& row = m_rows[m_nMeasured];
        if (row.name.size() > m_nLongestName) {
            m_nLongestName = row.name.size();
            m_nWidestName = std::max(m_nWidestName, TextWidth(wxString::FromUTF8(row.name)));
        }
        if (!row.encryption.empty() && row.encryption != m_lastEncryption) {
            m_lastEncryption = row.encryption;
            if (GetColumnCount() <= kEncryptionColumn)
                AppendColumn(kEncryption.caption, wxLIST_FORMAT_LEFT, TextWidth(kEncryption.caption));
            WidenColumn(kEncryptionColumn, wxString::FromUTF8(row.encryption));
        }
        WidenRatio(row.ratio);
    }
    FitNameColumn();
}

// A ratio above 999% (a stored entry that grew) is wider than the caption
// allows for: rare, and measured when it comes.
void CEntryList::WidenRatio(const std::string& ratio) {
    if (ratio.size() > 4) WidenColumn(3, wxString::FromUTF8(ratio));
}

// On GTK the list is the toolkit's generic one: the list scrolls its rows
// window and paints its header at its own idea of the sideways position,
// which GTK's smooth scrolling (a touchpad, Shift with the wheel) brings up
// to date only after the rows were painted at the new one, so the header
// stood off its columns. Whenever the rows are painted at a new position
// the header is painted again.
void CEntryList::KeepHeaderAligned() {
#ifndef __WXMSW__
    for (wxWindow* part : GetChildren()) {
        part->Bind(wxEVT_PAINT, [this](wxPaintEvent& event) {
            event.Skip();
            const int position = GetViewStart().x;
            if (position == m_nHeaderScroll) return;
            m_nHeaderScroll = position;
            for (wxWindow* other : GetChildren()) other->Refresh();
        });
    }
#endif
}

void CEntryList::ClearRows() {
    m_rows.clear();
    m_nMeasured = 0;
    m_nLongestName = 0;
    m_nWidestName = 0;
    m_lastEncryption.clear();
    if (GetColumnCount() > kEncryptionColumn) DeleteColumn(kEncryptionColumn);
    m_bRowsChanged = true;
    m_shownCount.clear();
    m_bCountChanged = true;
}

void CEntryList::InsertRow(int position, EntryRow row) {
    const size_t at = std::min<size_t>(static_cast<size_t>(std::max(position, 0)), m_rows.size());
    m_rows.insert(m_rows.begin() + static_cast<std::ptrdiff_t>(at), std::move(row));
    m_bRowsChanged = true;
}

void CEntryList::SetShownCount(const std::string& text) {
    m_shownCount = text;
    m_bCountChanged = true;
}

void CEntryList::RowsChanged() {
    if (m_bRowsChanged) {
        MeasureNewRows();
        SetItemCount(RowCount());
        Refresh();
    }
    m_bRowsChanged = false;
    if (m_bCountChanged && m_countLabel) m_countLabel->SetLabel(wxString::FromUTF8(m_shownCount));
    m_bCountChanged = false;
}

wxString CEntryList::OnGetItemText(long item, long column) const {
    if (item < 0 || item >= RowCount()) return wxString();
    return wxString::FromUTF8(ColumnText(m_rows[static_cast<size_t>(item)], column));
}

}  // namespace tessaly
