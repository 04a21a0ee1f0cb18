// Long paths on one line: a path wider than its label is shortened in the
// middle with an ellipsis, so both its start (the drive or top folder) and
// its end (the file or folder name) stay in view, and the label's tooltip
// holds the whole path.
#pragma once

#include <wx/string.h>

class wxControl;

namespace tessaly {

// The text `label` shows for `path`: the path itself when it fits the
// label's width in its font, else the path shortened in the middle.
wxString FittedPath(const wxControl& label, const wxString& path);

// Shows `path` in `label` as FittedPath has it, with the full path as the
// tooltip (none for an empty path). Does nothing when both are current.
void ShowPath(wxControl* label, const wxString& path);

}  // namespace tessaly
