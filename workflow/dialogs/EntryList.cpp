#include "workflow/dialogs/EntryList.h"

#include <algorithm>

namespace tessaly {
namespace {

struct Column {
    const char* caption;
    int width;
};

constexpr Column kColumns[] = {
    {"File Name", 200},         {"UnCompressed File Size", 135}, {"Compressed File Size", 125},
    {"Compression Ratio", 115}, {"Modified Time", 100},          {"CRC 32", 100},
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
    for (size_t i = 0; i < std::size(kColumns); ++i)
        AppendColumn(kColumns[i].caption, wxLIST_FORMAT_LEFT, FromDIP(kColumns[i].width));
}

void CEntryList::ClearRows() {
    m_rows.clear();
    m_bRowsChanged = true;
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
