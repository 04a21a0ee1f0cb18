#include "tests/wizard/WizardHarness.h"

#include <wx/app.h>
#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/menu.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "log/LogSections.h"
#include "tests/support/LocalTime.h"
#include "tests/support/TempFolder.h"
#include "ui/skin/SkinnedMenuDialog.h"
#include "workflow/dialogs/FileSave.h"
#include "workflow/dialogs/PasswordDialog.h"
#include "workflow/dialogs/Preview.h"
#include "workflow/dialogs/ProgressBar.h"

namespace tessaly::testwizard {

namespace {
constexpr int kTickMs = 10;
}

// ---- Script ----------------------------------------------------------------

Script::Script() : m_timer(this) { Bind(wxEVT_TIMER, &Script::OnTick, this); }

Script::~Script() { m_timer.Stop(); }

Script& Script::When(std::string name, std::function<bool()> ready, std::function<void()> act) {
    m_steps.push_back({std::move(name), std::move(ready), std::move(act)});
    return *this;
}

void Script::Run(const std::function<void()>& body, int timeoutMs) {
    m_timeoutMs = timeoutMs;
    m_waitedMs = 0;
    m_gaveUp = false;
    m_timer.Start(kTickMs);
    body();
    m_timer.Stop();
    EXPECT_TRUE(Done()) << "step not reached: " << Pending();
    m_steps.clear();
}

// Steps are taken off the list before they act, and act from a queued call
// rather than inside the timer's own callback (which the main loop does not
// re-enter), so a step that opens a modal window lets the following steps
// run inside it.
void Script::OnTick(wxTimerEvent&) {
    if (m_steps.empty() || m_gaveUp || m_bActing) return;
    if (!m_steps.front().ready()) {
        m_waitedMs += kTickMs;
        if (m_waitedMs > m_timeoutMs) GiveUp();
        return;
    }
    m_waitedMs = 0;
    Step step = std::move(m_steps.front());
    m_steps.pop_front();
    m_bActing = true;
    CallAfter([this, act = std::move(step.act)] {
        m_bActing = false;
        act();
    });
}

void Script::GiveUp() {
    m_gaveUp = true;
    ADD_FAILURE() << "gave up waiting for: " << Pending();
    for (wxWindow* window : wxTopLevelWindows) {
        if (auto* dialog = dynamic_cast<wxDialog*>(window); dialog && dialog->IsModal()) dialog->EndModal(wxID_CANCEL);
        if (auto* frame = dynamic_cast<CSkinnedMenuDialog*>(window); frame && frame->IsModal())
            frame->EndModal(wxID_CANCEL);
    }
}

// ---- Input -----------------------------------------------------------------

void EndPreview() {
    for (wxWindow* window : wxTopLevelWindows)
        if (auto* preview = dynamic_cast<CPreview*>(window); preview && preview->IsModal())
            preview->EndModal(wxID_CANCEL);
}

void Press(wxWindow* dialog, int id) {
    ASSERT_NE(dialog, nullptr);
    auto* button = dynamic_cast<wxButton*>(dialog->FindWindow(id));
    ASSERT_NE(button, nullptr) << "no button " << id;
    ASSERT_TRUE(button->IsEnabled()) << "button " << id << " is disabled";
    wxCommandEvent click(wxEVT_BUTTON, id);
    click.SetEventObject(button);
    button->ProcessWindowEvent(click);
}

void ChooseMenu(wxWindow* frame, int id) {
    ASSERT_NE(frame, nullptr);
    wxCommandEvent command(wxEVT_MENU, id);
    command.SetEventObject(frame);
    frame->ProcessWindowEvent(command);
}

void PressKey(wxWindow* window, int keyCode) {
    ASSERT_NE(window, nullptr);
    wxKeyEvent key(wxEVT_CHAR_HOOK);
    key.m_keyCode = keyCode;
    key.SetEventObject(window);
    window->ProcessWindowEvent(key);
}

// ---- ScanHold --------------------------------------------------------------

ScanHold::ScanHold(ProgressHook& hook) {
    hook = [reached = m_reached, letGo = m_letGo, inner = hook](std::uint64_t position, std::uint64_t total,
                                                                std::uint64_t steps) {
        if (!reached->exchange(true)) {
            // A forgotten LetGo must not hang the suite.
            for (int i = 0; i < 1000 && !*letGo; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        inner(position, total, steps);
    };
}

// ---- WizardTest ------------------------------------------------------------

WizardTest::WizardTest()
    : m_analysis(m_job, [this] { ++m_endCalls; }),
      m_saving(
          m_job, [this] { ++m_endCalls; }, [this] { return NextTime(); }),
      m_repairing(m_job) {
    std::filesystem::create_directories(In());
    std::filesystem::create_directories(Out());
    m_picker.folder = Out().string();
    m_services.job = &m_job;
    m_services.analysis = &m_analysis;
    m_services.saving = &m_saving;
    m_services.repairing = &m_repairing;
    m_services.endProcess = [this] { ++m_endCalls; };
    m_services.pickers = &m_picker;
    m_services.askPassword = [this](wxWindow* parent, const std::string& archiveName) {
        return m_passwordAnswerer ? m_passwordAnswerer(archiveName) : AskPasswordFor(parent, archiveName);
    };
    m_services.showMessage = [this](wxWindow*, const Message& message) {
        m_messages.push_back(message.text);
        MessageAnswer answer = message.buttons == MessageButtons::Ok ? MessageAnswer::Ok : MessageAnswer::Yes;
        auto queued = m_answers.find(message.text);
        if (queued != m_answers.end() && !queued->second.empty()) {
            answer = queued->second.front();
            queued->second.pop_front();
        }
        if (auto hook = m_hooks.find(message.text); hook != m_hooks.end()) hook->second();
        return answer;
    };
}

WizardTest::~WizardTest() = default;

std::string WizardTest::WriteArchive(const std::string& name, const testzip::Bytes& bytes) const {
    const auto path = In() / name;
    testzip::WriteFileBytes(path, bytes);
    return path.string();
}

std::string WizardTest::WriteArchive(const std::string& name, const std::vector<testzip::EntryToWrite>& entries) const {
    return WriteArchive(name, testzip::BuildZip(entries).bytes);
}

void WizardTest::Select(const std::vector<std::string>& paths, RepairMode mode, bool skipPreview) {
    m_job.ClearSourcePaths();
    for (const auto& path : paths) m_job.AppendSourcePath(path);
    m_job.m_nSourceCount = static_cast<int>(paths.size());
    m_job.m_nRepairMode = mode;
    m_job.m_bSkipPreview = skipPreview ? 1 : 0;
    LogSourceSelection(m_job.SourcePaths(), mode, skipPreview);
    LogAnalysisHeading(m_job.m_nSourceCount);
}

void WizardTest::RunPreview(int timeoutMs) {
    m_script.Run(
        [this] {
            CPreview preview(m_services);
            preview.ShowModal();
        },
        timeoutMs);
}

std::function<bool()> WizardTest::Analysed(int number) {
    return [this, number] { return PreviewIdle()() && m_job.m_nCurrentFile == number; };
}

std::function<bool()> WizardTest::PreviewIdle() {
    return [] {
        CPreview* preview = Shown<CPreview>();
        return preview && preview->IsIdle() && !Shown<CProgressBar>() && !Shown<CFileSave>();
    };
}

int WizardTest::CountInLog(const std::string& text) const {
    const std::string log = LogText();
    int count = 0;
    for (auto at = log.find(text); at != std::string::npos; at = log.find(text, at + text.size())) ++count;
    return count;
}

int WizardTest::CountMessages(const std::string& text) const {
    int count = 0;
    for (const auto& shown : m_messages) count += shown == text ? 1 : 0;
    return count;
}

void WizardTest::Answer(const std::string& text, MessageAnswer answer) { m_answers[text].push_back(answer); }

void WizardTest::OnMessage(const std::string& text, std::function<void()> hook) { m_hooks[text] = std::move(hook); }

std::string WizardTest::Crlf(std::string text) { return ReplaceAll(std::move(text), "\n", "\r\n"); }

std::string WizardTest::ReplaceAll(std::string text, const std::string& what, const std::string& with) {
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
    return text;
}

// Output folders are named by the second they are made: one second apart.
std::tm WizardTest::NextTime() { return testzip::At(2026, 12, 7, 3, 25, m_nextSecond++); }

}  // namespace tessaly::testwizard
