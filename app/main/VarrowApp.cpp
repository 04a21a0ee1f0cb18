// The desktop program tessaly-zip: command line, single instance, the main
// dialog's modal run, and the end of the process when it returns.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <wx/app.h>
#include <wx/filefn.h>
#include <wx/image.h>
#include <wx/snglinst.h>
#include <wx/utils.h>

#include "app/CommandLine.h"
#include "app/Settings.h"
#include "app/main/VarrowDlg.h"
#include "platform/FileSystem.h"
#include "workflow/MenuMessages.h"
#include "workflow/dialogs/MessageBoxes.h"

namespace tessaly {

namespace {

// Read before the toolkit starts, so --help and --version work without a
// display.
CommandLine g_commandLine;

// One lock per user, in the user's runtime folder where there is one (it is
// private to the user and emptied at log-out), else in the home folder.
wxString InstanceLockFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime && IsExistingFolder(PathFromUtf8(runtime))) return wxString::FromUTF8(runtime);
    return wxString();
}

wxString InstanceLockName() { return "tessaly-zip-" + wxGetUserId() + ".lock"; }

class CVarrowApp : public wxApp {
public:
    bool OnInit() override;
    int OnRun() override;

private:
    std::unique_ptr<wxSingleInstanceChecker> m_instance;
    bool m_anotherRunning = false;
};

bool CVarrowApp::OnInit() {
    // The toolkit's own switch parsing is not used (see main).
    SetAppName("tessaly-zip");
    SetAppDisplayName("Tessaly for Zip");
    wxInitAllImageHandlers();
    m_instance = std::make_unique<wxSingleInstanceChecker>();
    m_anotherRunning = m_instance->Create(InstanceLockName(), InstanceLockFolder()) && m_instance->IsAnotherRunning();
    return true;
}

int CVarrowApp::OnRun() {
    // The window system here does not let us see the other copy's boxes, so
    // the message is always shown.
    if (m_anotherRunning) {
        ShowMessageBox(nullptr, AnotherInstanceMessage());
        return 0;
    }
    CVarrowDlg::Options options;
    options.programFolder = ProgramFolder();
    auto* dialog = new CVarrowDlg(options);
    SetTopWindow(dialog);
    dialog->AddArchives(g_commandLine.archives);
    dialog->ShowModal();
    dialog->Destroy();
    return 0;
}

}  // namespace

}  // namespace tessaly

wxIMPLEMENT_APP_NO_MAIN(tessaly::CVarrowApp);

int main(int argc, char** argv) {
    using namespace tessaly;
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    g_commandLine = ParseCommandLine(args);
    const StartRequest request = g_commandLine.request;
    if (EndsAtOnce(request)) {
        const std::string program = argc > 0 ? PathToUtf8(PathFromUtf8(argv[0]).filename()) : "tessaly-zip";
        if (request == StartRequest::Help) std::fputs(HelpText(program).c_str(), stdout);
        if (request == StartRequest::Version) std::fputs(VersionText().c_str(), stdout);
        if (request == StartRequest::Unknown) {
            std::fprintf(stderr, "%s: unknown option %s\n\n", program.c_str(), g_commandLine.offending.c_str());
            std::fputs(HelpText(program).c_str(), stderr);
        }
        return ExitCodeFor(request);
    }
    return wxEntry(argc, argv);
}
