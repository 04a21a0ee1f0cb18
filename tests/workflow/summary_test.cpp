// What a saving run reports once it is done: the count of every outcome per
// archive, and the completion texts and the log's closing line, which claim
// success only when every file was written and every archive read.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

#include "tests/workflow/WorkflowFixture.h"
#include "workflow/SavingSummary.h"

namespace tessaly::testflow {
namespace {

using testzip::Stored;

const std::string kCompletedLine =
    "******************* Repairing Completed successfully***********************************";

class SavingSummaryTest : public WorkflowTest {
protected:
    // The log after the completion step has written its closing section.
    std::string ClosingLog() {
        LogCompletion(saving_.Summary());
        return LogText();
    }
    static bool EndsWith(const std::string& text, const std::string& end) {
        return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
    }
};

testzip::EntryToWrite Locked(testzip::EntryToWrite entry) {
    entry.encrypted = true;
    return entry;
}

// Damage is the tool's business: damaged and truncated entries are counted
// as such and the run still completes successfully.
TEST_F(SavingSummaryTest, CountsEachOutcomePerArchiveAndDamageKeepsTheSuccessTexts) {
    auto damaged = testzip::BuildZip({Stored("whole.txt", "whole"), Stored("flipped.txt", "flipped bits"),
                                      Stored(std::string("junk\x02name"), "junk"),
                                      Locked(Stored("locked.txt", "sealed, never opened")),
                                      Stored("cut.bin", testzip::NoiseContent(3, 4000))});
    testzip::FlipBits(damaged.bytes, damaged.entries[1].dataStart + 2, 0x10);
    testzip::TruncateAt(damaged.bytes, damaged.entries[4].dataStart + 1000);
    Select({WriteArchive("damaged.zip", damaged.bytes),
            WriteArchive("fine.zip", {Stored("a.txt", "a"), Stored("b.txt", "b")})});
    SaveAll(Out());

    const SavingSummary& summary = saving_.Summary();
    ASSERT_EQ(summary.archives.size(), 2u);
    const ArchiveSavingSummary& first = summary.archives[0];
    EXPECT_EQ(first.source, job_.GetSourcePath(0));
    EXPECT_EQ(first.whole, 1);
    EXPECT_EQ(first.damaged, 1);
    EXPECT_EQ(first.truncated, 1);
    // The encrypted entry is left out; a junk-named header that no central
    // record names never joins the table.
    EXPECT_EQ(first.leftOut, 1);
    EXPECT_EQ(first.notWritten, 0);
    EXPECT_FALSE(first.unreadable);
    EXPECT_EQ(summary.archives[1].whole, 2);
    EXPECT_TRUE(summary.Succeeded());
    EXPECT_EQ(CompletionText(summary), "Saving Completed Successfully");
    EXPECT_TRUE(EndsWith(ClosingLog(), "\r\n\r\n" + kCompletedLine));

    // A second run starts its summary afresh.
    Select({job_.GetSourcePath(1)});
    SaveAll(Out());
    ASSERT_EQ(saving_.Summary().archives.size(), 1u);
    EXPECT_EQ(saving_.Summary().archives[0].whole, 2);
}

TEST_F(SavingSummaryTest, ArchivesWithNothingToReadAreCountedAndTheRunDoesNotClaimSuccess) {
    Select({WriteArchive("good.zip", {Stored("a.txt", "a")}), (In() / "deleted.zip").string(),
            WriteArchive("tiny.zip", testzip::Garbage(100)), WriteArchive("none.zip", testzip::Garbage(3000))});
    SaveAll(Out());

    const SavingSummary& summary = saving_.Summary();
    ASSERT_EQ(summary.archives.size(), 4u);
    EXPECT_FALSE(summary.archives[0].unreadable);
    for (int i = 1; i < 4; ++i) EXPECT_TRUE(summary.archives[i].unreadable) << summary.archives[i].source;
    EXPECT_EQ(summary.UnreadableArchives(), 3);
    EXPECT_EQ(summary.NotWritten(), 0);
    EXPECT_FALSE(summary.Succeeded());
    EXPECT_EQ(CompletionText(summary), "Saving finished: 3 archives could not be read");
    const std::string log = ClosingLog();
    EXPECT_EQ(log.find(kCompletedLine), std::string::npos);
    EXPECT_TRUE(EndsWith(log,
                         "\r\n\r\n******************* Repairing finished: 3 archives could not be read"
                         "***********************************"));
}

#ifndef _WIN32
// Keeps files written by this process below `limit` bytes until it goes out
// of scope; a write past it fails (EFBIG) instead of raising SIGXFSZ. This
// is a full disk as the workers meet it.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t limit) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = saved_;
        limited.rlim_cur = limit;
        active_ = setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool active() const { return active_; }

private:
    rlimit saved_{};
    void (*previous_)(int) = SIG_DFL;
    bool active_ = false;
};
#endif

TEST_F(SavingSummaryTest, AFullDiskIsCountedPerEntryAndNeitherTheDialogNorTheLogClaimsSuccess) {
    // One small entry fits; one of medium size and one large enough to be
    // written in the background do not.
    const std::string path =
        WriteArchive("a.zip", {Stored("small.txt", "fits"), Stored("medium.bin", testzip::NoiseContent(1, 300 * 1024)),
                               Stored("large.bin", testzip::NoiseContent(2, 5 * 1024 * 1024))});
    Select({path});
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no per-process file size limit to stand in for a full disk";
#else
    {
        FileSizeLimit limit(200 * 1024);
        ASSERT_TRUE(limit.active());
        SaveAll(Out());
    }
    const SavingSummary& summary = saving_.Summary();
    ASSERT_EQ(summary.archives.size(), 1u);
    EXPECT_EQ(summary.archives[0].whole, 1);
    EXPECT_EQ(summary.archives[0].notWritten, 2);
    EXPECT_EQ(summary.NotWritten(), 2);
    EXPECT_FALSE(summary.Succeeded());
    // The user is told why: the system's reason for the refused writes.
    EXPECT_EQ(summary.destinationProblem, std::system_category().message(EFBIG));
    EXPECT_EQ(CompletionText(summary),
              "Saving finished: 2 files could not be written, the destination cannot be "
              "written (" +
                  summary.destinationProblem + ")");
    const std::string log = ClosingLog();
    EXPECT_EQ(log.find(kCompletedLine), std::string::npos);
    // Logged once, where it happened, and in the closing line.
    const std::string refused = "The destination cannot be written :  ";
    EXPECT_NE(log.find(refused), std::string::npos);
    EXPECT_EQ(log.find(refused), log.rfind(refused));
    EXPECT_NE(log.find("Reason :  " + summary.destinationProblem), std::string::npos);
    EXPECT_TRUE(EndsWith(log,
                         "\r\n\r\n******************* Repairing finished: 2 files could not be written, "
                         "the destination cannot be written***********************************"));
#endif
}

TEST_F(SavingSummaryTest, AnOutputFolderThatCannotBeMadeCountsEveryEntryAsNotWritten) {
    const std::filesystem::path notAFolder = Out() / "plain-file";
    testzip::WriteFileBytes(notAFolder, testzip::ToBytes("the user's own file"));
    Select({WriteArchive("a.zip", {Stored("one.txt", "1"), Stored("dir/two.txt", "2")}),
            WriteArchive("b.zip", testzip::Garbage(3000))});
    SaveAll(notAFolder);

    const SavingSummary& summary = saving_.Summary();
    EXPECT_EQ(summary.NotWritten(), 2);
    EXPECT_EQ(summary.UnreadableArchives(), 1);
    // The system's reason ("Not a directory" on POSIX systems).
    EXPECT_FALSE(summary.destinationProblem.empty());
    EXPECT_EQ(CompletionText(summary),
              "Saving finished: 2 files could not be written, 1 archive could not be read, "
              "the destination cannot be written (" +
                  summary.destinationProblem + ")");
    EXPECT_EQ(testzip::ToString(testzip::ReadFileBytes(notAFolder)), "the user's own file");
    const std::string log = ClosingLog();
    EXPECT_NE(log.find("The destination cannot be written :  " + notAFolder.string()), std::string::npos);
    EXPECT_TRUE(EndsWith(log,
                         "Repairing finished: 2 files could not be written, 1 archive could not be read, "
                         "the destination cannot be written***********************************"));
}

// The destination went away after it was picked: nothing makes it again
// behind the user's back, every entry counts as not written, and the run
// says why.
TEST_F(SavingSummaryTest, ADestinationThatIsGoneIsNotMadeAgainAndTheRunSaysSo) {
    const std::filesystem::path gone = Out() / "unplugged-stick";
    Select({WriteArchive("a.zip", {Stored("one.txt", "1"), Stored("dir/two.txt", "2")})});
    SaveAll(gone);

    EXPECT_FALSE(std::filesystem::exists(gone));
    const SavingSummary& summary = saving_.Summary();
    EXPECT_EQ(summary.NotWritten(), 2);
    EXPECT_FALSE(summary.destinationProblem.empty());
#ifndef _WIN32
    EXPECT_EQ(summary.destinationProblem, std::make_error_code(std::errc::no_such_file_or_directory).message());
#endif
    EXPECT_FALSE(summary.Succeeded());
    EXPECT_NE(CompletionText(summary).find("the destination cannot be written (" + summary.destinationProblem + ")"),
              std::string::npos);
}

// A view that fails while the run moves on to its second archive.
class FailingSavingView : public SavingRecorder {
public:
    void SetFileNumber(const std::string& text) override {
        if (text == "2") throw std::runtime_error("the view is gone");
        SavingRecorder::SetFileNumber(text);
    }
};

TEST_F(SavingSummaryTest, ArchivesARunNeverReachedCountAsNotRead) {
    Select({WriteArchive("a.zip", {Stored("a.txt", "a")}), WriteArchive("b.zip", {Stored("b.txt", "b")}),
            WriteArchive("c.zip", {Stored("c.txt", "c")})});
    FailingSavingView view;
    job_.m_szAllFilesDest = Out().string();
    saving_.Start(view);
    ASSERT_TRUE(view.WaitFor("finished"));
    saving_.Wait();

    const SavingSummary& summary = saving_.Summary();
    ASSERT_EQ(summary.archives.size(), 3u);
    EXPECT_FALSE(summary.archives[0].unreadable);
    EXPECT_EQ(summary.archives[2].source, job_.GetSourcePath(2));
    EXPECT_EQ(summary.UnreadableArchives(), 2);
    EXPECT_FALSE(summary.Succeeded());
}

}  // namespace
}  // namespace tessaly::testflow
