// The desktop program tessaly-zip: command line, single instance, the
// wizard's parts (owned by the application object), the main dialog's modal
// run on them, and the end of the process when it returns.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <wx/app.h>
#include <wx/filefn.h>
#include <wx/image.h>
#include <wx/utils.h>

#include "app/CommandLine.h"
#include "app/main/InstanceCheck.h"
#include "app/main/VarrowDlg.h"
#include "app/main/WizardRoot.h"
#include "core/EndProcess.h"
#include "core/Settings.h"
#include "platform/FileSizeSignal.h"
#include "platform/FileSystem.h"
#include "platform/Terminal.h"
#include "workflow/MenuMessages.h"
#include "workflow/dialogs/MessageBoxes.h"

namespace tessaly {

namespace {

// Read before the toolkit starts, so --help and --version work without a
// display.
CommandLine g_commandLine;

class CVarrowApp : public wxApp {
public:
    bool OnInit() override;
    int OnRun() override;

private:
    std::unique_ptr<CInstanceCheck> m_instance;
    std::unique_ptr<CWizardRoot> m_wizard;
};

bool CVarrowApp::OnInit() {
    // The toolkit's own switch parsing is not used (see main).
    SetAppName("tessaly-zip");
    SetAppDisplayName("Tessaly for Zip");
    wxInitAllImageHandlers();
    m_instance = std::make_unique<CInstanceCheck>();
    // Before any worker runs: the runs install their progress hooks.
    m_wizard = std::make_unique<CWizardRoot>([] { EndProcess(); });
    return true;
}

int CVarrowApp::OnRun() {
    // A second copy names no archives to the first: it says so and ends,
    // silently while the first copy shows a message of its own.
    if (m_instance->AnotherRunning()) {
        if (!m_instance->AnotherShowsMessage()) ShowMessageBox(nullptr, AnotherInstanceMessage());
        return 0;
    }
    CVarrowDlg::Options options;
    options.programFolder = ProgramFolder();
    options.wizard = m_wizard->Services();
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
    // A write past a file-size limit fails and is reported, rather than
    // ending the program in the middle of a run.
    IgnoreFileSizeSignal();
    // On Windows the arguments come from the wide command line, so archive
    // names outside the ANSI code page arrive whole.
    std::vector<std::string> args = ProgramArguments(argc, argv);
    if (!args.empty()) args.erase(args.begin());
    g_commandLine = ParseCommandLine(args);
    const StartRequest request = g_commandLine.request;
    if (EndsAtOnce(request)) {
        UseParentConsole();
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
