// The two file pickers of the wizard, behind an interface that tests
// replace (through the wizard's services): several .zip archives to repair, and the destination folder for
// saving. Paths are UTF-8 strings, as everywhere in the workflow.
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
};

// The toolkit's own pickers.
IPickers& ToolkitPickers();

}  // namespace tessaly
