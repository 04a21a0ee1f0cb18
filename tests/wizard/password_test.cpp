// The password dialog and encrypted entries in the wizard: the dialog's
// look and its ways out (buttons, keys, close box, real typing and a real
// click), the saving dialog asking once per archive however many threads
// ask, and whole runs over an archive with encrypted entries.
#include <gtest/gtest.h>

#include <wx/button.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>
#include <wx/utils.h>

#include <future>
#include <set>

#include "archive/FileHeader.h"
#include "archive/SkipRules.h"
#include "archive/ZipArchive.h"
#include "tests/support/TempFolder.h"
#include "tests/wizard/WizardHarness.h"
#include "workflow/dialogs/EntryList.h"
#include "workflow/dialogs/FileSave.h"
#include "workflow/dialogs/PasswordDialog.h"
#include "workflow/dialogs/Preview.h"
#include "workflow/dialogs/ViewLog.h"

namespace tessaly::testwizard {
namespace {

namespace fs = std::filesystem;
using testzip::Deflated;
using testzip::Stored;

constexpr const char* kPassword = "Tz9!wq-Lumen";
constexpr const char* kSavingStop = "Saving is in Process,Do you want to Stop?";
using Reply = std::optional<std::string>;  // what the password dialog gives

class PasswordTest : public WizardTest {
protected:
    PasswordTest() {
        fs::copy_file(fs::path(TESSALY_DATA_DIR) / "password.bmp", m_sandbox.Program() / "password.bmp",
                      fs::copy_options::overwrite_existing);
    }

    // Asks through the real dialog while `act` works the dialog once it is up.
    static Reply AskWith(const std::function<void(CPasswordDialog*)>& act) {
        Script script;
        Reply answer = std::string("not answered");
        script.When(
            "dialog up", [] { return Shown<CPasswordDialog>() != nullptr; }, [act] { act(Shown<CPasswordDialog>()); });
        script.Run([&] { answer = AskPasswordFor(nullptr, "backup.zip"); });
        EXPECT_TRUE(script.Done()) << script.Pending();
        return answer;
    }

    static testzip::EntryToWrite Secret(int number) {
        const std::string name = "secret/" + std::to_string(number) + ".txt";
        return number % 2 ? Stored(name, testzip::TextContent(name, 700))
                          : Deflated(name, testzip::TextContent(name, 5000));
    }
    std::string MixedArchive() {
        std::vector<testzip::EntryToWrite> entries;
        for (int i = 0; i < 10; ++i)
            entries.push_back(Stored("part" + std::to_string(i) + ".txt", testzip::TextContent("part", 900)));
        entries.push_back(WithPassword(Secret(1), kPassword));
        entries.push_back(WithPassword(Secret(2), kPassword));
        return WriteArchive("mixed.zip", entries);
    }
    // The entries saving writes, by the one rule, passwords asked.
    static std::vector<std::string> WrittenEntries(const std::string& archive) {
        CZipArchive reader;
        reader.OpenArchive(archive, QuickRepair);
        std::vector<std::string> names;
        for (std::uint32_t i = 0; i < reader.GetCount(); ++i) {
            CFileHeader header;
            if (reader.GetEntryInfo(header, i) && !ExtractSkipVerdict(header, true)) names.push_back(header.fileName);
        }
        reader.CloseArchive();
        return names;
    }
    // Save All from the preview of the selected archive, to the end of the
    // process; the number of rows the preview showed.
    int SaveAllThroughTheWizard() {
        int rows = -1;
        m_script
            .When("analysed", Analysed(1),
                  [&] {
                      rows = Shown<CPreview>()->EntryList()->RowCount();
                      Press(Shown<CPreview>(), IDC_PREVIEW_SAVE_ALL);
                  })
            .When(
                "completion shown", [] { return Shown<CViewLog>() != nullptr; },
                [] { Press(Shown<CViewLog>(), IDC_VIEW_LOG_OK); })
            .When("process ended", ProcessEnded(), [] { EndPreview(); });
        RunPreview();
        return rows;
    }
    fs::path OnlyOutputFolder() const {
        std::vector<fs::path> folders;
        for (const auto& entry : fs::directory_iterator(Out())) folders.push_back(entry.path());
        EXPECT_EQ(folders.size(), 1u);
        return folders.empty() ? Out() : folders.front();
    }
    // Every file of the sandbox but the archives that holds `text`.
    std::vector<std::string> FilesHolding(const std::string& text) const {
        std::vector<std::string> found;
        for (const auto& entry : fs::recursive_directory_iterator(m_sandbox.Root())) {
            if (!entry.is_regular_file() || entry.path().parent_path() == In()) continue;
            if (testzip::ToString(testzip::ReadFileBytes(entry.path())).find(text) != std::string::npos)
                found.push_back(entry.path().string());
        }
        return found;
    }
};

bool Overlap(const wxWindow* a, const wxWindow* b) { return a->GetRect().Intersects(b->GetRect()); }

TEST_F(PasswordTest, TheDialogWearsTheSkinHidesWhatIsTypedAndOkGivesTheText) {
    const Reply answer = AskWith([](CPasswordDialog* dialog) {
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->GetTitle(), "Password");
        EXPECT_FALSE(dialog->GetIcons().IsEmpty());
        ASSERT_TRUE(dialog->HasBackground());
        EXPECT_EQ(dialog->Skin().Background().GetSize(), dialog->GetClientSize());
        wxTextCtrl* field = dialog->PasswordField();
        EXPECT_TRUE(field->HasFlag(wxTE_PASSWORD));
        auto* prompt = dynamic_cast<wxStaticText*>(dialog->FindWindow(IDC_PASSWORD_PROMPT));
        ASSERT_NE(prompt, nullptr);
        EXPECT_EQ(prompt->GetLabel(), "Enter the password for \"backup.zip\":");
        wxWindow* ok = dialog->FindWindow(IDC_PASSWORD_OK);
        wxWindow* skip = dialog->FindWindow(IDC_PASSWORD_SKIP);
        ASSERT_TRUE(ok && skip);
        EXPECT_EQ(ok->GetLabel(), "OK");
        EXPECT_EQ(skip->GetLabel(), "Skip encrypted files");
        EXPECT_GE(skip->GetSize().x, skip->GetBestSize().x) << "the button's text is cut";
        const wxRect client(dialog->GetClientSize());
        const std::vector<wxWindow*> controls{prompt, field, ok, skip};
        for (std::size_t i = 0; i < controls.size(); ++i) {
            EXPECT_TRUE(client.Contains(controls[i]->GetRect())) << i;
            for (std::size_t j = i + 1; j < controls.size(); ++j) EXPECT_FALSE(Overlap(controls[i], controls[j]));
        }
        // Below the picture's band: the prompt starts under the header.
        EXPECT_GT(prompt->GetPosition().y, dialog->GetClientSize().y / 4);
        field->ChangeValue(kPassword);
        Press(dialog, IDC_PASSWORD_OK);
        EXPECT_EQ(field->GetValue(), "") << "the password stays in the field";
    });
    EXPECT_EQ(answer, Reply(kPassword));
}

TEST_F(PasswordTest, SkipEscapeAndTheCloseBoxGiveNothingAndEnterGivesTheText) {
    EXPECT_EQ(AskWith([](CPasswordDialog* dialog) {
                  dialog->PasswordField()->ChangeValue("typed");
                  Press(dialog, IDC_PASSWORD_SKIP);
              }),
              std::nullopt);
    EXPECT_EQ(AskWith([](CPasswordDialog* dialog) {
                  dialog->PasswordField()->ChangeValue("typed");
                  PressEscape(dialog);
              }),
              std::nullopt);
    EXPECT_EQ(AskWith([](CPasswordDialog* dialog) {
                  dialog->PasswordField()->ChangeValue("typed");
                  dialog->Close();
              }),
              std::nullopt);
    EXPECT_EQ(AskWith([](CPasswordDialog* dialog) {
                  dialog->PasswordField()->ChangeValue("typed");
                  wxCommandEvent enter(wxEVT_TEXT_ENTER, IDC_PASSWORD_TEXT);
                  enter.SetEventObject(dialog->PasswordField());
                  dialog->PasswordField()->ProcessWindowEvent(enter);
              }),
              Reply("typed"));
    EXPECT_EQ(AskWith([](CPasswordDialog* dialog) { Press(dialog, IDC_PASSWORD_OK); }), Reply(""));
}

TEST_F(PasswordTest, TypingAndClickingOkOnTheScreenGivesWhatWasTyped) {
    const Reply answer = AskWith([](CPasswordDialog* dialog) {
        wxUIActionSimulator input;
        // No window manager: keys go to the window under the pointer, and
        // the focus to the control clicked.
        input.MouseMove(dialog->PasswordField()->GetScreenRect().GetPosition() + wxPoint(4, 4));
        input.MouseClick();
        wxYield();
        input.Text("s3cretkey");
        wxYield();
        wxWindow* ok = dialog->FindWindow(IDC_PASSWORD_OK);
        input.MouseMove(ok->GetScreenRect().GetPosition() + ok->GetSize() / 2);
        input.MouseClick();
    });
    EXPECT_EQ(answer, Reply("s3cretkey"));
}

// Several threads of one saving run meet the same archive's encrypted
// entries: the password dialog comes up once, over the saving dialog, and
// every thread gets its answer.
TEST_F(PasswordTest, TheSavingDialogAsksOncePerArchiveThroughThePasswordDialog) {
    const std::string archive = MixedArchive();
    Select({archive});
    ScanHold hold(m_saving.ScanProgress());
    std::vector<std::future<Reply>> answers;
    std::set<CPasswordDialog*> dialogs;
    auto allAnswered = [&answers] {
        for (auto& answer : answers)
            if (answer.wait_for(std::chrono::seconds(0)) != std::future_status::ready) return false;
        return !answers.empty();
    };
    m_script.When("analysed", Analysed(1), [] { Press(Shown<CPreview>(), IDC_PREVIEW_SAVE_ALL); })
        .When(
            "saving held", [&] { return hold.Reached() && Shown<CFileSave>() != nullptr; },
            [&] {
                for (int i = 0; i < 4; ++i)
                    answers.push_back(std::async(std::launch::async, [this, archive, i] {
                        return m_saving.Passwords().PasswordFor(archive, "secret/" + std::to_string(i));
                    }));
            })
        .When(
            "password dialog up",
            [&] {
                CPasswordDialog* dialog = Shown<CPasswordDialog>();
                if (dialog) dialogs.insert(dialog);
                return dialog != nullptr;
            },
            [] {
                Shown<CPasswordDialog>()->PasswordField()->ChangeValue(kPassword);
                Press(Shown<CPasswordDialog>(), IDC_PASSWORD_OK);
            })
        .When(
            "every thread answered",
            [&] {
                if (CPasswordDialog* dialog = Shown<CPasswordDialog>()) dialogs.insert(dialog);
                return allAnswered() && !Shown<CPasswordDialog>();
            },
            [&] { hold.LetGo(); })
        .When(
            "completion shown", [] { return Shown<CViewLog>() != nullptr; },
            [] { Press(Shown<CViewLog>(), IDC_VIEW_LOG_OK); })
        .When("process ended", ProcessEnded(), [] { EndPreview(); });
    RunPreview();

    EXPECT_EQ(dialogs.size(), 1u);
    ASSERT_EQ(answers.size(), 4u);
    for (auto& answer : answers) EXPECT_EQ(answer.get(), Reply(kPassword));
    EXPECT_EQ(FilesHolding(kPassword), std::vector<std::string>{});
}

// Stop's question holds the run: a password asked meanwhile is not asked
// over it. Yes ends the run and the waiting thread gets nothing; No lets
// the question come up once Stop's is answered.
TEST_F(PasswordTest, APasswordAskedDuringStopsQuestionWaitsForItsAnswer) {
    for (const MessageAnswer stop : {MessageAnswer::Yes, MessageAnswer::No}) {
        SCOPED_TRACE(stop == MessageAnswer::Yes ? "Yes" : "No");
        const std::string archive = MixedArchive();
        Select({archive});
        ScanHold hold(m_saving.ScanProgress());
        std::future<Reply> answer;
        bool dialogOverQuestion = false;
        bool waitedForQuestion = false;
        int asked = 0;
        Answer(kSavingStop, stop);
        OnMessage(kSavingStop, [&] {
            answer = std::async(std::launch::async,
                                [this, archive] { return m_saving.Passwords().PasswordFor(archive, "secret/1.txt"); });
            for (int i = 0; i < 30; ++i) {
                wxYield();
                wxMilliSleep(10);
                dialogOverQuestion |= Shown<CPasswordDialog>() != nullptr;
            }
            waitedForQuestion = answer.wait_for(std::chrono::seconds(0)) == std::future_status::timeout;
            hold.LetGo();  // Yes joins the worker before the script goes on
        });
        AnswerPasswords([&](const std::string&) {
            ++asked;
            return Reply(kPassword);
        });
        m_script.When("analysed", Analysed(1), [] { Press(Shown<CPreview>(), IDC_PREVIEW_SAVE_ALL); })
            .When(
                "saving held", [&] { return hold.Reached() && Shown<CFileSave>() != nullptr; },
                [] { Press(Shown<CFileSave>(), IDC_SAVING_STOP); })
            .When(
                "password answered",
                [&] { return answer.valid() && answer.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
                [] {});
        if (stop == MessageAnswer::No)
            m_script.When(
                "completion shown", [] { return Shown<CViewLog>() != nullptr; },
                [] { Press(Shown<CViewLog>(), IDC_VIEW_LOG_OK); });
        m_script.When("process ended", ProcessEnded(), [] { EndPreview(); });
        const int endsBefore = m_endCalls;
        RunPreview();

        EXPECT_FALSE(dialogOverQuestion);
        EXPECT_TRUE(waitedForQuestion);
        ASSERT_TRUE(answer.valid());
        EXPECT_EQ(answer.get(), stop == MessageAnswer::Yes ? std::nullopt : Reply(kPassword));
        EXPECT_EQ(asked, stop == MessageAnswer::Yes ? 0 : 1);
        EXPECT_EQ(m_endCalls, endsBefore + 1);
        AnswerPasswords(nullptr);
    }
}

TEST_F(PasswordTest, SkippingEncryptedFilesSavesTheRestAndListsWhatSavingWrites) {
    const std::string archive = MixedArchive();
    std::vector<std::string> asked;
    AnswerPasswords([&](const std::string& name) {
        asked.push_back(name);
        return std::nullopt;
    });
    Select({archive});
    const int rows = SaveAllThroughTheWizard();

    const std::vector<std::string> written = WrittenEntries(archive);
    EXPECT_EQ(rows, static_cast<int>(written.size()));
    EXPECT_EQ(CountInLog("Number Of Files Extracted  :      " + std::to_string(written.size())), 1);
    EXPECT_LE(asked.size(), 1u);
    const std::vector<std::string> files = testzip::ListFilesBelow(OnlyOutputFolder());
    EXPECT_EQ(files.size(), 10u);
    for (const std::string& file : files) EXPECT_EQ(file.rfind("part", 0), 0u) << file;
    ASSERT_EQ(m_saving.Summary().archives.size(), 1u);
    EXPECT_EQ(m_saving.Summary().archives[0].whole, 10);
    EXPECT_EQ(m_saving.Summary().archives[0].leftOut, 2);
}

TEST_F(PasswordTest, APasswordGivenOnceOpensTheEncryptedEntriesAndReachesNoFile) {
    const std::string archive = MixedArchive();
    std::vector<std::string> asked;
    AnswerPasswords([&](const std::string& name) {
        asked.push_back(name);
        return Reply(kPassword);
    });
    Select({archive});
    const int rows = SaveAllThroughTheWizard();

    EXPECT_EQ(rows, 12) << "the preview leaves out entries saving writes";
    EXPECT_EQ(asked, std::vector<std::string>{"mixed.zip"});
    const fs::path folder = OnlyOutputFolder();
    for (int number : {1, 2}) {
        const testzip::EntryToWrite secret = Secret(number);
        EXPECT_EQ(testzip::ReadFileBytes(folder / secret.name), secret.data) << secret.name;
    }
    EXPECT_EQ(m_saving.Summary().archives[0].whole, 12);
    EXPECT_EQ(CountInLog("Repairing Completed successfully"), 1);
    EXPECT_EQ(FilesHolding(kPassword), std::vector<std::string>{});
}

}  // namespace
}  // namespace tessaly::testwizard
