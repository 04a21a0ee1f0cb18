#include "ui/about/HelpContents.h"

#include <wx/app.h>
#include <wx/filename.h>
#include <wx/log.h>
#include <wx/module.h>
#include <wx/toplevel.h>
#include <wx/utils.h>

#include <wx/fileconf.h>
#include <wx/html/helpctrl.h>

namespace tessaly {

wxWindow* FindHelpViewer() {
    for (wxWindow* window : wxTopLevelWindows) {
        if (window->GetLabel() == kHelpTitle && !window->IsBeingDeleted()) return window;
    }
    return nullptr;
}

namespace {

// The one help viewer of the process; deleted when the toolkit shuts down.
class HelpViewerModule : public wxModule {
public:
    bool OnInit() override { return true; }
    void OnExit() override {
        delete s_controller;
        s_controller = nullptr;
        delete s_layout;
        s_layout = nullptr;
    }
    static wxHtmlHelpController* s_controller;
    static wxConfigBase* s_layout;

private:
    wxDECLARE_DYNAMIC_CLASS(HelpViewerModule);
};

wxHtmlHelpController* HelpViewerModule::s_controller = nullptr;
wxConfigBase* HelpViewerModule::s_layout = nullptr;

// The viewer's first layout: wide enough for the guide's pages and for the
// topic titles in the contents pane. Kept in memory only; nothing is
// written to disk.
wxConfigBase* ViewerLayout() {
    if (!HelpViewerModule::s_layout) {
        auto* layout = new wxFileConfig(wxEmptyString, wxEmptyString, wxEmptyString, wxEmptyString, 0);
        layout->Write("/Help/hcW", 960);
        layout->Write("/Help/hcH", 680);
        layout->Write("/Help/hcSashPos", 260);
        HelpViewerModule::s_layout = layout;
    }
    return HelpViewerModule::s_layout;
}
wxIMPLEMENT_DYNAMIC_CLASS(HelpViewerModule, wxModule);

}  // namespace

void ShowHelpContents(const std::filesystem::path& programFolder) {
    if (wxWindow* viewer = FindHelpViewer()) {
        viewer->Raise();
        return;
    }
    const wxFileName book(wxString((programFolder / kHelpBookFile).native()));
    if (!book.FileExists()) return;
    delete HelpViewerModule::s_controller;
    auto* controller = new wxHtmlHelpController(wxHF_DEFAULT_STYLE);
    HelpViewerModule::s_controller = controller;
    controller->UseConfig(ViewerLayout(), "Help");
    controller->SetTitleFormat(kHelpTitle);
    wxLogNull quiet;
    if (controller->AddBook(book)) controller->DisplayContents();
}

}  // namespace tessaly
