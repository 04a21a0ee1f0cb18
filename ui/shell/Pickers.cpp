#include "ui/shell/Pickers.h"

#include <wx/dirdlg.h>
#include <wx/filedlg.h>

namespace tessaly {

namespace {

class CNativePickers : public IPickers {
public:
    std::vector<std::string> PickZipFiles(wxWindow* parent) override {
        // The toolkit's patterns heed letter case; archives named .ZIP are
        // archives too.
        wxFileDialog dialog(parent, " Open Zip files", wxEmptyString, wxEmptyString, "zip|*.zip;*.ZIP;*.Zip",
                            wxFD_OPEN | wxFD_MULTIPLE | wxFD_FILE_MUST_EXIST);
        std::vector<std::string> paths;
        if (dialog.ShowModal() != wxID_OK) return paths;
        wxArrayString chosen;
        dialog.GetPaths(chosen);
        for (const wxString& path : chosen) paths.push_back(path.utf8_string());
        return paths;
    }

    std::string PickFolder(wxWindow* parent, const std::string& startFolder) override {
        wxDirDialog dialog(parent, "Select the Destination Path", wxString::FromUTF8(startFolder),
                           wxDD_DEFAULT_STYLE | wxDD_DIR_MUST_EXIST);
        if (dialog.ShowModal() != wxID_OK) return std::string();
        return dialog.GetPath().utf8_string();
    }

    std::string PickSaveFile(wxWindow* parent, const std::string& folder, const std::string& name) override {
        wxFileDialog dialog(parent, "Save Repaired Archive", wxString::FromUTF8(folder), wxString::FromUTF8(name),
                            "ZIP archives (*.zip)|*.zip", wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
        if (dialog.ShowModal() != wxID_OK) return std::string();
        return dialog.GetPath().utf8_string();
    }
};

}  // namespace

IPickers& ToolkitPickers() {
    static CNativePickers native;
    return native;
}

}  // namespace tessaly
