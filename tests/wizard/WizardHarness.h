// Drives the wizard's real dialogs under an X server as a person would,
// without a person: message boxes are answered by a recorder, the folder
// and save pickers return what the test says, ending the process only counts, and a
// script presses buttons and keys once the window it needs is on screen.
// Each test works in a sandbox (program folder, log, archives, output) with
// its own job, scan state and runs, and a clock it sets.
#pragma once

#include <gtest/gtest.h>

#include <ctime>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <wx/timer.h>
#include <wx/toplevel.h>

#include "archive/ScanState.h"
#include "tests/log/LogSandbox.h"
#include "tests/support/ZipWriter.h"
#include "ui/shell/Pickers.h"
#include "workflow/AnalysisRun.h"
#include "workflow/RepairJob.h"
#include "workflow/RepairingRun.h"
#include "workflow/SavingRun.h"
#include "workflow/dialogs/WizardServices.h"

namespace tessaly::testwizard {

// Steps run one after another, each once its window is ready. A step's
// action may open a modal window; the next steps then run inside it.
class Script : public wxEvtHandler {
public:
    Script();
    ~Script() override;

    Script& When(std::string name, std::function<bool()> ready, std::function<void()> act);
    // Runs `body` (which shows the first window modally) while the steps run;
    // fails the test and closes every window of the wizard when a step waits
    // longer than `timeoutMs`.
    void Run(const std::function<void()>& body, int timeoutMs = 20000);
    bool Done() const { return m_steps.empty(); }
    std::string Pending() const { return m_steps.empty() ? std::string() : m_steps.front().name; }

private:
    struct Step {
        std::string name;
        std::function<bool()> ready;
        std::function<void()> act;
    };
    void OnTick(wxTimerEvent& event);
    void GiveUp();

    std::deque<Step> m_steps;
    wxTimer m_timer;
    long m_waitedMs = 0;
    int m_timeoutMs = 20000;
    bool m_gaveUp = false;
    bool m_bActing = false;
};

// The shown window of type T, or null.
template <typename T>
T* Shown() {
    for (wxWindow* window : wxTopLevelWindows)
        if (auto* found = dynamic_cast<T*>(window); found && found->IsShown()) return found;
    return nullptr;
}

// Ends the preview's modal run, as the end of the process would have.
void EndPreview();
// Presses an enabled button (a disabled one fails the test).
void Press(wxWindow* dialog, int id);
// Chooses a menu command.
void ChooseMenu(wxWindow* frame, int id);
// Types a key into a window, as the key reaches it before its controls.
void PressKey(wxWindow* window, int keyCode);
inline void PressEscape(wxWindow* window) { PressKey(window, WXK_ESCAPE); }

class FolderPicker : public IPickers {
public:
    std::vector<std::string> PickZipFiles(wxWindow*) override { return zipFiles; }
    std::string PickFolder(wxWindow*, const std::string& startFolder) override {
        ++calls;
        startFolders.push_back(startFolder);
        return folder;
    }
    // The save picker: where it opened and the name it proposed, each time;
    // it answers `saveFile` (empty: cancelled).
    std::string PickSaveFile(wxWindow*, const std::string& startFolder, const std::string& name) override {
        saveProposals.emplace_back(startFolder, name);
        return saveFile;
    }
    std::vector<std::string> zipFiles;
    std::string folder;
    std::vector<std::string> startFolders;  // where each pick opened
    int calls = 0;
    std::string saveFile;
    std::vector<std::pair<std::string, std::string>> saveProposals;
};

class WizardTest : public ::testing::Test {
protected:
    WizardTest();
    ~WizardTest() override;

    std::filesystem::path In() const { return m_sandbox.Root() / "in"; }
    std::filesystem::path Out() const { return m_sandbox.Root() / "out"; }
    std::string WriteArchive(const std::string& name, const testzip::Bytes& bytes) const;
    std::string WriteArchive(const std::string& name, const std::vector<testzip::EntryToWrite>& entries) const;

    // What the main dialog does at Repair: the job and the Step 1 and 2 log
    // sections.
    void Select(const std::vector<std::string>& paths, RepairMode mode = QuickRepair, bool skipPreview = false);
    // Runs the preview modally while the script runs.
    void RunPreview(int timeoutMs = 20000);

    // Script conditions: the preview shows archive `number` with its
    // analysis done; a window of the wizard is up; the process has ended.
    std::function<bool()> Analysed(int number);
    std::function<bool()> PreviewIdle();
    std::function<bool()> ProcessEnded() {
        return [this] { return m_endCalls > 0; };
    }
    // The activity log holds `text` `count` times.
    int CountInLog(const std::string& text) const;

    // The texts of the message boxes shown so far, in order.
    const std::vector<std::string>& Messages() const { return m_messages; }
    int CountMessages(const std::string& text) const;
    // The answer to the next box with `text` (questions are answered Yes by
    // default, notices OK).
    void Answer(const std::string& text, MessageAnswer answer);
    // Runs `hook` when a box with `text` is answered (before it returns).
    void OnMessage(const std::string& text, std::function<void()> hook);
    // Answers the password questions of saving with `answerer` (given the
    // archive's file name) instead of the password dialog; null: the dialog.
    using PasswordAnswerer = std::function<std::optional<std::string>(const std::string& archiveName)>;
    void AnswerPasswords(PasswordAnswerer answerer) { m_passwordAnswerer = std::move(answerer); }

    std::string LogText() const { return m_sandbox.ReadLog(); }
    static std::string Crlf(std::string text);
    static std::string ReplaceAll(std::string text, const std::string& what, const std::string& with);

    testlog::LogSandbox m_sandbox;
    CRepairJob m_job;
    int m_endCalls = 0;
    CAnalysisRun m_analysis;
    CSavingRun m_saving;
    CRepairingRun m_repairing;
    WizardServices m_services;
    FolderPicker m_picker;
    Script m_script;

private:
    std::tm NextTime();

    std::vector<std::string> m_messages;
    std::map<std::string, std::deque<MessageAnswer>> m_answers;
    std::map<std::string, std::function<void()>> m_hooks;
    PasswordAnswerer m_passwordAnswerer;
    int m_nextSecond = 40;
};

// Holds a worker at the archive layer's first progress report until the
// test lets it go.
class ScanHold {
public:
    explicit ScanHold(ProgressHook& hook);
    bool Reached() const { return *m_reached; }
    void LetGo() { *m_letGo = true; }

private:
    std::shared_ptr<std::atomic<bool>> m_reached = std::make_shared<std::atomic<bool>>(false);
    std::shared_ptr<std::atomic<bool>> m_letGo = std::make_shared<std::atomic<bool>>(false);
};

}  // namespace tessaly::testwizard
