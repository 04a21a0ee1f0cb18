// The file pickers of the wizard, behind an interface that tests replace
// (through the wizard's services): several .zip archives to repair, the
// destination folder for saving, and the file a repaired archive is saved
// as. Paths are UTF-8 strings, as everywhere in the workflow.
#pragma once

#include <string>
#include <vector>

class wxWindow;

namespace tessaly {

class IPickers {
public:
    virtual ~IPickers() = default;
    // Existing .zip files, several at once, in a dialog titled
    // " Open Zip files"; empty when the user cancels.
    virtual std::vector<std::string> PickZipFiles(wxWindow* parent) = 0;
    // A folder, in a dialog titled "Select the Destination Path" that opens
    // in `startFolder` (when it is not empty); empty when the user cancels.
    virtual std::string PickFolder(wxWindow* parent, const std::string& startFolder) = 0;
    // A .zip file to write, in a save dialog titled "Save Repaired Archive"
    // that opens in `folder` proposing `name`, and asks before an existing
    // file is replaced; empty when the user cancels.
    virtual std::string PickSaveFile(wxWindow* parent, const std::string& folder, const std::string& name) = 0;
};

// The toolkit's own pickers.
IPickers& ToolkitPickers();

}  // namespace tessaly
