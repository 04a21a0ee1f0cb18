#include "workflow/dialogs/EntryList.h"

#include <algorithm>

namespace tessaly {
namespace {

struct Column {
    const char* caption;
    int width;
    const char* widest;  // the widest text the column shows, when known
};

constexpr Column kColumns[] = {
    {"File Name", 200, ""},
    {"UnCompressed File Size", 135, "1023   Bytes"},
    {"Compressed File Size", 125, "1023   Bytes"},
    {"Compression Ratio", 115, "100%"},
    {"Modified Time", 100, "00 May 0000, 00:00:00"},
    {"CRC 32", 100, "4294967295"},
};

const std::string& ColumnText(const EntryRow& row, long column) {
    switch (column) {
        case 0: return row.name;
        case 1: return row.size;
        case 2: return row.packedSize;
        case 3: return row.ratio;
        case 4: return row.modifiedTime;
        default: return row.crc;
    }
}

}  // namespace

CEntryList::CEntryList(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size)
    : wxListCtrl(parent, id, pos, size,
                 wxLC_REPORT | wxLC_VIRTUAL | wxLC_SINGLE_SEL | wxLC_HRULES | wxLC_VRULES | wxBORDER_SUNKEN) {
    // The given widths, or what the caption and the widest value need in
    // the desktop's font.
    const int padding = FromDIP(16);
    for (const Column& column : kColumns) {
        const int text = std::max(GetTextExtent(column.caption).GetWidth(), GetTextExtent(column.widest).GetWidth());
        const int width = std::max(FromDIP(column.width), text + padding);
        AppendColumn(column.caption, wxLIST_FORMAT_LEFT, width);
    }
}

void CEntryList::ClearRows() {
    m_rows.clear();
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
