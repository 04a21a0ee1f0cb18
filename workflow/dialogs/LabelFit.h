// Keeps the dialogs' texts whole where the desktop's font is wider than the
// one the layouts were drawn for: a label grows to its text's width (never
// shrinks), and a value shown beside a label moves right to make room.
#pragma once

#include <algorithm>

#include <wx/window.h>

namespace tessaly {

// Widens `label` to its text's width when the given width is too small.
inline void FitLabelWidth(wxWindow* label) {
    const int best = label->GetBestSize().GetWidth();
    const wxSize size = label->GetSize();
    if (best > size.GetWidth()) label->SetSize(wxSize(best, size.GetHeight()));
}

// Moves `value` right of `label` (with a small gap) when the label reaches
// into it; its right edge stays where it was unless it would get narrower
// than its own text.
inline void KeepRightOf(wxWindow* value, const wxWindow* label) {
    const int gap = label->FromDIP(4);
    const wxRect was = value->GetRect();
    const int left = label->GetRect().GetRight() + 1 + gap;
    if (left <= was.GetLeft()) return;
    const int width = std::max(was.GetRight() + 1 - left, value->GetBestSize().GetWidth());
    value->SetSize(left, was.GetTop(), width, was.GetHeight());
}

}  // namespace tessaly
