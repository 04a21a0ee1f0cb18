// Starts the toolkit once for a GUI test program: a test application, an
// active event loop, an assert handler that fails the running test instead
// of opening a box, log output to stderr, and a guard that fails and
// dismisses any modal dialog a test did not ask for (a program whose own
// dialogs run modally names them through g_isExpectedModal).
#include <atomic>
#include <cstdio>
#include <cstdlib>

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/dialog.h>
#include <wx/evtloop.h>
#include <wx/image.h>
#include <wx/log.h>
#include <wx/modalhook.h>
#include <wx/toplevel.h>

namespace tessaly::test {
std::atomic<int> g_allowModal{0};
bool (*g_isExpectedModal)(wxDialog*) = nullptr;
}  // namespace tessaly::test

namespace {

class TestApp : public wxApp {
public:
    bool OnInit() override { return true; }
};

void FailOnAssert(const wxString& file, int line, const wxString& func, const wxString& cond, const wxString& msg) {
    ADD_FAILURE_AT(file.utf8_str().data(), line) << "toolkit assertion in " << func << ": " << cond << " " << msg;
}

class UnexpectedModalGuard : public wxModalDialogHook {
protected:
    int Enter(wxDialog* dialog) override {
        if (tessaly::test::g_allowModal > 0) return wxID_NONE;
        if (tessaly::test::g_isExpectedModal != nullptr && tessaly::test::g_isExpectedModal(dialog)) return wxID_NONE;
        ADD_FAILURE() << "unexpected modal dialog: " << dialog->GetTitle();
        return wxID_CANCEL;
    }
    void Exit(wxDialog*) override {}
};

}  // namespace

wxIMPLEMENT_APP_NO_MAIN(TestApp);

int main(int argc, char** argv) {
    // Under wine, too, the windows appear on an X display.
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) {
        std::printf("%s: no X display (run under xvfb-run); skipped\n", argv[0]);
        return 77;
    }
#ifndef _WIN32
    setenv("GSETTINGS_BACKEND", "memory", 0);
    setenv("NO_AT_BRIDGE", "1", 0);
#endif
    ::testing::InitGoogleTest(&argc, argv);

    int toolkitArgc = 1;
    char* toolkitArgv[] = {argv[0], nullptr};
    if (!wxEntryStart(toolkitArgc, toolkitArgv)) {
        std::fprintf(stderr, "%s: cannot start the toolkit\n", argv[0]);
        return 1;
    }
    wxTheApp->CallOnInit();
    wxSetAssertHandler(FailOnAssert);
    delete wxLog::SetActiveTarget(new wxLogStderr);
    wxInitAllImageHandlers();
    UnexpectedModalGuard guard;
    guard.Register();

    int result = 0;
    {
        wxEventLoop loop;
        wxEventLoopBase::SetActive(&loop);
        result = RUN_ALL_TESTS();
        for (wxWindow* window : wxTopLevelWindows) window->Destroy();
        wxTheApp->ProcessIdle();
        wxEventLoopBase::SetActive(nullptr);
    }
    guard.Unregister();
    wxEntryCleanup();
    return result;
}
