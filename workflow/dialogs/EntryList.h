// The preview's entry list: a virtual report list whose rows live here and
// whose control asks only for the texts it shows, so tens of thousands of
// rows cost no more to show than a screenful. The analysis fills it through
// IEntryRows, batch by batch, on the interface thread.
#pragma once

#include <string>
#include <vector>

#include <wx/listctrl.h>

#include "workflow/EntryFormat.h"

namespace tessaly {

// Where the analysis dialog puts the rows it receives (interface thread).
class IEntryRows {
public:
    virtual ~IEntryRows() = default;
    virtual void ClearRows() = 0;
    virtual void InsertRow(int position, EntryRow row) = 0;
    virtual void SetShownCount(const std::string& text) = 0;
    // After a batch: the controls show what the calls before it changed.
    virtual void RowsChanged() = 0;
};

class CEntryList : public wxListCtrl, public IEntryRows {
public:
    CEntryList(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size);

    // The label that shows the count of entries shown (may be null).
    void SetCountLabel(wxWindow* label) { m_countLabel = label; }

    void ClearRows() override;
    void InsertRow(int position, EntryRow row) override;
    void SetShownCount(const std::string& text) override;
    void RowsChanged() override;

    const std::vector<EntryRow>& Rows() const { return m_rows; }
    int RowCount() const { return static_cast<int>(m_rows.size()); }

protected:
    wxString OnGetItemText(long item, long column) const override;

private:
    void KeepHeaderAligned();
    int TextWidth(const wxString& text) const;
    void WidenColumn(int column, const wxString& text);
    void FitNameColumn();
    void MeasureNewRows();
    void WidenRatio(const std::string& ratio);

    std::vector<EntryRow> m_rows;
    std::size_t m_nMeasured = 0;     // rows measured for the column widths
    std::size_t m_nLongestName = 0;  // characters of the longest name measured
    int m_nWidestName = 0;           // the name column's width for the widest name measured
    std::string m_lastEncryption;    // the encryption text last measured
    int m_nHeaderScroll = 0;         // the rows' sideways scroll position the header was last painted for
    wxWindow* m_countLabel = nullptr;
    std::string m_shownCount;
    bool m_bCountChanged = false;
    bool m_bRowsChanged = false;
};

}  // namespace tessaly
