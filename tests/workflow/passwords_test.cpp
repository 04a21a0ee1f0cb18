// Passwords while saving: one question per archive however many threads
// meet its encrypted entries, no question while paused or once stopped,
// Stop releasing a worker that waits for an answer, and what a saving run
// does with encrypted entries when the user skips them or gives a password.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <thread>

#include "archive/FileHeader.h"
#include "archive/SkipRules.h"
#include "archive/ZipArchive.h"
#include "tests/workflow/WorkflowFixture.h"
#include "workflow/SavingPasswords.h"

namespace tessaly::testflow {
namespace {

using namespace std::chrono_literals;
using testzip::Bytes;
using testzip::Deflated;
using testzip::Stored;

constexpr const char* kPassword = "Tz9!wq-Lumen";

std::size_t CountEvents(const EventRecorder& recorder, const std::string& event) {
    const auto events = recorder.Events();
    return static_cast<std::size_t>(std::count(events.begin(), events.end(), event));
}

// Asks for `archive`'s password on a thread of its own.
std::future<std::optional<std::string>> AskOnThread(PasswordSource& source, const std::string& archive) {
    return std::async(std::launch::async, [&source, archive] { return source.PasswordFor(archive, "entry.txt"); });
}

bool Waiting(const std::future<std::optional<std::string>>& answer) {
    return answer.wait_for(50ms) == std::future_status::timeout;
}

TEST(SavingPasswords, AsksOncePerArchiveHoweverManyThreadsAskAndAgainInTheNextRun) {
    CWorkerGate gate;
    CSavingPasswords passwords(gate);
    SavingRecorder view;
    view.holdPasswords = true;
    passwords.Begin(view);

    std::vector<std::future<std::optional<std::string>>> alpha, beta;
    for (int i = 0; i < 4; ++i) {
        alpha.push_back(AskOnThread(passwords, "/in/alpha.zip"));
        beta.push_back(AskOnThread(passwords, "/in/sub/../beta.zip"));
    }
    ASSERT_TRUE(view.WaitFor("password alpha.zip"));
    ASSERT_TRUE(view.WaitFor("password beta.zip"));
    for (const auto& answer : alpha) EXPECT_TRUE(Waiting(answer)) << "answered before the user did";
    EXPECT_EQ(view.AnswerHeld([](const std::string& name) {
        return name == "alpha.zip" ? std::optional<std::string>(kPassword) : std::nullopt;
    }),
              2u);
    for (auto& answer : alpha) EXPECT_EQ(answer.get(), std::optional<std::string>(kPassword));
    for (auto& answer : beta) EXPECT_EQ(answer.get(), std::nullopt);
    // Known for the rest of the run, also under another spelling of the path.
    EXPECT_EQ(passwords.PasswordFor("/in/./alpha.zip", "later.txt"), std::optional<std::string>(kPassword));
    EXPECT_EQ(passwords.PasswordFor("/in/beta.zip", "later.txt"), std::nullopt);
    EXPECT_EQ(view.Count(), 2u);

    // The next run asks again; the end of a run forgets what it was told.
    passwords.Forget();
    EXPECT_EQ(passwords.PasswordFor("/in/alpha.zip", "x"), std::nullopt);
    passwords.Begin(view);
    auto again = AskOnThread(passwords, "/in/alpha.zip");
    for (int i = 0; i < 1000 && view.AnswerHeld([](const std::string&) { return "other"; }) == 0; ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_EQ(again.get(), std::optional<std::string>("other"));
    EXPECT_EQ(CountEvents(view, "password alpha.zip"), 2u);
}

TEST(SavingPasswords, APausedRunAsksOnlyOnceResumedAndAStoppedOneNeverAsks) {
    CWorkerGate gate;
    CSavingPasswords passwords(gate);
    SavingRecorder view;
    view.password = kPassword;
    passwords.Begin(view);

    gate.Hold();
    auto answer = AskOnThread(passwords, "/in/a.zip");
    EXPECT_TRUE(Waiting(answer));
    EXPECT_EQ(view.Count(), 0u) << "asked while paused";
    gate.Release();
    EXPECT_EQ(answer.get(), std::optional<std::string>(kPassword));

    gate.RequestStop();
    EXPECT_EQ(passwords.PasswordFor("/in/b.zip", "x"), std::nullopt);
    EXPECT_EQ(view.Count(), 1u);
}

class PasswordSavingTest : public WorkflowTest {
protected:
    // Two plain and two encrypted entries (one stored, one deflated).
    std::string MixedArchive(const std::string& name, const std::string& password = kPassword) {
        return WriteArchive(name, {Stored("plain.txt", "plain text"), WithPassword(Secret(1), password),
                                   Deflated("docs/readme.txt", testzip::TextContent("readme", 3000)),
                                   WithPassword(Secret(2), password)});
    }
    static testzip::EntryToWrite Secret(int number) {
        const std::string name = "secret/" + std::to_string(number) + ".txt";
        return number % 2 ? Stored(name, testzip::TextContent(name, 700))
                          : Deflated(name, testzip::TextContent(name, 5000));
    }
    std::filesystem::path OnlyOutputFolder() const {
        std::vector<std::filesystem::path> folders;
        for (const auto& entry : std::filesystem::directory_iterator(Out())) folders.push_back(entry.path());
        EXPECT_EQ(folders.size(), 1u);
        return folders.empty() ? Out() : folders.front();
    }
    // Every file below the sandbox (log, settings, output) that holds `text`.
    std::vector<std::string> FilesHolding(const std::string& text) const {
        std::vector<std::string> found;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(sandbox_.Root())) {
            if (!entry.is_regular_file() || entry.path().parent_path() == In()) continue;
            const std::string content = testzip::ToString(testzip::ReadFileBytes(entry.path()));
            if (content.find(text) != std::string::npos) found.push_back(entry.path().string());
        }
        return found;
    }
};

TEST_F(PasswordSavingTest, StopReleasesAWorkerWaitingForAPassword) {
    std::vector<testzip::EntryToWrite> entries;
    for (int i = 0; i < 12; ++i) entries.push_back(Stored("part" + std::to_string(i), testzip::TextContent("p", 900)));
    const std::string archive = WriteArchive("big.zip", entries);
    Select({archive});
    ScanCheckpoint hold(saving_.ScanProgress());
    savingView_.holdPasswords = true;
    job_.m_szAllFilesDest = Out().string();
    saving_.Start(savingView_);
    hold.WaitUntilReached();

    auto answer = AskOnThread(saving_.Passwords(), archive);
    ASSERT_TRUE(savingView_.WaitFor("password big.zip"));
    savingView_.ScriptAnswers({MessageAnswer::Yes});
    EXPECT_EQ(saving_.OnStop(), UserChoice::ProcessEnded);
    ASSERT_EQ(answer.wait_for(10s), std::future_status::ready) << "still waiting after Stop";
    EXPECT_EQ(answer.get(), std::nullopt);
    hold.LetGo();
    saving_.Wait();
    EXPECT_EQ(endCalls_, 1);
    // An answer arriving after the stop changes nothing.
    EXPECT_EQ(savingView_.AnswerHeld([](const std::string&) { return kPassword; }), 1u);
    EXPECT_EQ(saving_.Passwords().PasswordFor(archive, "x"), std::nullopt);
}

TEST_F(PasswordSavingTest, SkippingEncryptedFilesLeavesThemOutAndCountsThemAsLeftOut) {
    Select({MixedArchive("mixed.zip")});
    savingView_.password = std::nullopt;  // "Skip encrypted files"
    SaveAll(Out());

    const auto folder = OnlyOutputFolder();
    EXPECT_EQ(testzip::ListFilesBelow(folder), (std::vector<std::string>{"docs/readme.txt", "plain.txt"}));
    ASSERT_EQ(saving_.Summary().archives.size(), 1u);
    const ArchiveSavingSummary& summary = saving_.Summary().archives[0];
    EXPECT_EQ(summary.whole, 2);
    EXPECT_EQ(summary.leftOut, 2);
    EXPECT_EQ(summary.notWritten, 0);
    EXPECT_LE(CountEvents(savingView_, "password mixed.zip"), 1u);
}

// The preview lists what saving will write: with passwords asked, an
// encrypted entry a password opens is listed, and "Number Of Files
// Extracted" counts it.
TEST_F(PasswordSavingTest, ThePreviewListsEncryptedEntriesAsSavingTreatsThem) {
    const std::string archive = MixedArchive("mixed.zip");
    Select({archive});
    Analyse(1);

    CZipArchive reader;
    reader.OpenArchive(archive, QuickRepair);
    std::vector<std::string> expected;
    for (std::uint32_t i = 0; i < reader.GetCount(); ++i) {
        CFileHeader header;
        ASSERT_TRUE(reader.GetEntryInfo(header, i));
        if (!ExtractSkipVerdict(header, true)) expected.push_back(header.fileName);
    }
    reader.CloseArchive();
    std::vector<std::string> listed;
    for (const EntryRow& row : analysisView_.Rows()) listed.push_back(row.name);
    EXPECT_EQ(listed, expected);
    EXPECT_NE(LogText().find("Number Of Files Extracted  :      " + std::to_string(expected.size())),
              std::string::npos);
}

TEST_F(PasswordSavingTest, APasswordIsAskedOncePerArchiveAndOpensItsEntriesWithoutReachingAnyFile) {
    Select({MixedArchive("first.zip"), MixedArchive("second.zip")});
    savingView_.password = kPassword;
    SaveAll(Out());

    EXPECT_EQ(CountEvents(savingView_, "password first.zip"), 1u);
    EXPECT_EQ(CountEvents(savingView_, "password second.zip"), 1u);
    for (const auto& folder : std::filesystem::directory_iterator(Out())) {
        for (int number : {1, 2}) {
            const testzip::EntryToWrite secret = Secret(number);
            EXPECT_EQ(testzip::ReadFileBytes(folder.path() / secret.name), secret.data) << secret.name;
        }
    }
    for (const ArchiveSavingSummary& summary : saving_.Summary().archives) {
        EXPECT_EQ(summary.whole, 4) << summary.source;
        EXPECT_EQ(summary.leftOut, 0) << summary.source;
    }
    EXPECT_EQ(FilesHolding(kPassword), std::vector<std::string>{});
}

// The user wanted those files: the run does not end in success.
TEST_F(PasswordSavingTest, AWrongPasswordWritesNothingOfTheEncryptedEntriesAndSaysSo) {
    Select({MixedArchive("mixed.zip", "the right one")});
    savingView_.password = kPassword;
    SaveAll(Out());

    EXPECT_EQ(CountEvents(savingView_, "password mixed.zip"), 1u);
    EXPECT_EQ(testzip::ListFilesBelow(OnlyOutputFolder()), (std::vector<std::string>{"docs/readme.txt", "plain.txt"}));
    ASSERT_EQ(saving_.Summary().archives.size(), 1u);
    EXPECT_EQ(saving_.Summary().archives[0].whole, 2);
    // Left out for the wrong password, which is what happened: nothing
    // refused to be written.
    EXPECT_EQ(saving_.Summary().archives[0].wrongPassword, 2);
    EXPECT_EQ(saving_.Summary().archives[0].notWritten, 0);
    EXPECT_EQ(saving_.Summary().archives[0].leftOut, 0);
    EXPECT_EQ(CompletionText(saving_.Summary()), "Saving finished: 2 files left out for a wrong password");
    LogCompletion(saving_.Summary());
    EXPECT_NE(LogText().find("Repairing finished: 2 files left out for a wrong password*****"), std::string::npos);
    EXPECT_EQ(LogText().find("could not be written"), std::string::npos);
    EXPECT_EQ(FilesHolding(kPassword), std::vector<std::string>{});
}

}  // namespace
}  // namespace tessaly::testflow
