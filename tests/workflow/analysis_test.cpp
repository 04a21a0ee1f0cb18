// The analysis as the preview shows it: rows, counts, the bar, the verdict,
// the log lines, and what Pause, Stop and Escape do to a running worker.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <ostream>
#include <system_error>
#include <thread>

#include "core/Settings.h"
#include "tests/workflow/WorkflowFixture.h"
#include "workflow/Message.h"

namespace tessaly::testflow {
namespace {

using testzip::Bytes;
using testzip::Deflated;
using testzip::Stored;

class AnalysisTest : public WorkflowTest {};

testzip::EntryToWrite Locked(testzip::EntryToWrite entry) {
    entry.encrypted = true;
    return entry;
}

std::vector<std::string> RowNames(const AnalysisRecorder& view) {
    std::vector<std::string> names;
    for (const auto& row : view.Rows()) names.push_back(row.name);
    return names;
}

TEST_F(AnalysisTest, ListsEveryEntrySavingWritesWithItsColumns) {
    const Bytes photo = testzip::NoiseContent(7, 1536);
    auto early = Stored("Pack.txt", "pack");  // 1 March 2026, 09:05:06: every field shown with two digits
    early.dosDate = testzip::DosDate(2026, 3, 1);
    early.dosTime = testzip::DosTime(9, 5, 6);
    const std::vector<testzip::EntryToWrite> entries = {
        Stored("Kitten.txt", "meow"),
        Deflated("PK.txt", "pk"),
        Stored("dir/Book.txt", "pages"),
        Stored("Photo.jpg", photo),
        Deflated("readme.txt", std::string(5000, 'r')),
        Stored("KP.txt", "kp"),
        early,
        Stored("PK/notes.txt", "notes"),
        Stored(std::string("bad\x01name"), "junk"),
        Locked(Stored("locked.txt", "sealed")),
    };
    const auto built = testzip::BuildZip(entries);
    Select({WriteArchive("a.zip", built.bytes)});
    Analyse(1);

    EXPECT_EQ(RowNames(analysisView_),
              (std::vector<std::string>{"Kitten.txt", "PK.txt", "dir\\Book.txt", "Photo.jpg", "readme.txt", "KP.txt",
                                        "Pack.txt", "PK\\notes.txt", "locked.txt"}));
    const auto rows = analysisView_.Rows();
    EXPECT_EQ(rows[3].size, "1   KB");
    EXPECT_EQ(rows[3].packedSize, "1   KB");
    EXPECT_EQ(rows[3].ratio, "100%");
    EXPECT_EQ(rows[3].modifiedTime, "07 Dec 2024, 12:00:00");
    EXPECT_EQ(rows[3].crc, std::to_string(built.entries[3].crc32));
    EXPECT_EQ(rows[4].size, "4   KB");
    EXPECT_EQ(rows[4].ratio, std::to_string(built.entries[4].compressedSize * 100 / 5000) + "%");
    EXPECT_EQ(rows[6].modifiedTime, "01 Mar 2026, 09:05:06");

    const auto events = analysisView_.Events();
    EXPECT_EQ(events.front(), "clear");
    EXPECT_EQ(analysisView_.Texts("count").back(), "9");  // saving asks for the locked entry's password
    EXPECT_EQ(analysisView_.Values("bar").back(), 100);   // the work is done
    EXPECT_TRUE(analysisView_.Messages().empty());
    EXPECT_EQ(LogText(), "File Number :      1\r\nFile Name   :      " + job_.GetSourcePath(0) +
                             "\r\nNumber Of Files Extracted  :      9\r\n\r\n\r\n");
}

// The bar follows the bytes scanned, then the entries listed, never moves
// backwards, and shows 100 once, when the analysis is done.
TEST_F(AnalysisTest, BarNeverMovesBackwardsAndReachesOneHundredWhenTheWorkIsDone) {
    std::vector<testzip::EntryToWrite> entries;
    for (int i = 0; i < 12; ++i)
        entries.push_back(Stored("noise" + std::to_string(i) + ".bin",
                                 testzip::NoiseContent(static_cast<std::uint32_t>(i + 1), 25000)));
    Select({WriteArchive("big.zip", entries)});
    Analyse(1);
    auto bars = analysisView_.Values("bar");
    ASSERT_GE(bars.size(), 2u);
    EXPECT_TRUE(std::is_sorted(bars.begin(), bars.end())) << ::testing::PrintToString(bars);
    EXPECT_EQ(bars.back(), 100);
    EXPECT_EQ(std::count(bars.begin(), bars.end(), 100), 1) << ::testing::PrintToString(bars);
    // The scan's share ends at 90; listing the twelve entries takes the rest.
    EXPECT_NE(std::find(bars.begin(), bars.end(), 90), bars.end()) << ::testing::PrintToString(bars);
    EXPECT_GE(std::count_if(bars.begin(), bars.end(), [](int v) { return v > 90 && v < 100; }), 5);
    EXPECT_EQ(RowNames(analysisView_).size(), 12u);
}

// An archive the user may not read is not "already open": the message
// gives the system's reason, with the warning icon, and nothing is listed.
TEST_F(AnalysisTest, AnArchiveThatMayNotBeReadGetsTheSystemsReason) {
    const std::string path = WriteArchive("locked.zip", {Stored("a.txt", "a")});
    std::filesystem::permissions(path, std::filesystem::perms::none);
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        std::fclose(file);
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
        GTEST_SKIP() << "this user reads files whatever their permissions";
    }
    Select({path});
    Analyse(1);
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);

    const auto messages = analysisView_.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "The file cannot be opened: " + std::generic_category().message(EACCES));
    EXPECT_EQ(messages[0].icon, MessageIcon::Warning);
    EXPECT_EQ(messages[0].buttons, MessageButtons::Ok);
    EXPECT_EQ(messages[0].caption, AppTitle);
    EXPECT_TRUE(analysisView_.Rows().empty());
}

struct VerdictCase {
    const char* name;
    Bytes bytes;
    bool verdict;
    std::size_t minimumRows;
    friend void PrintTo(const VerdictCase& c, std::ostream* os) { *os << c.name; }
};

Bytes ArchiveWithZeroedStart() {
    std::vector<testzip::EntryToWrite> entries;
    for (int i = 0; i < 20; ++i)
        entries.push_back(
            Stored("part" + std::to_string(i) + ".txt", testzip::TextContent("part" + std::to_string(i), 300)));
    auto built = testzip::BuildZip(entries);
    testzip::ZeroRange(built.bytes, 0, 2048);
    return built.bytes;
}

Bytes ArchiveBehindStub() {
    auto built = testzip::BuildZip({Stored("one.txt", "1"), Stored("two.txt", "2")});
    testzip::PrependStub(built, testzip::Garbage(3000), true);
    return built.bytes;
}

Bytes Prefixed(Bytes head, const Bytes& rest) {
    head.insert(head.end(), rest.begin(), rest.end());
    return head;
}

class AnalysisVerdict : public WorkflowTest, public ::testing::WithParamInterface<VerdictCase> {};

TEST_P(AnalysisVerdict, HighlyCorruptedOnlyWhenNoLocalHeaderExists) {
    const VerdictCase& c = GetParam();
    Select({WriteArchive("case.zip", c.bytes)});
    Analyse(1);
    const auto messages = analysisView_.Messages();
    if (c.verdict) {
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].text, "File is highly corrupted or version not supported.Recovery not possible.");
        EXPECT_EQ(messages[0].caption, BoxTitle);
        EXPECT_EQ(messages[0].icon, MessageIcon::Information);
        EXPECT_EQ(messages[0].buttons, MessageButtons::Ok);
        EXPECT_EQ(LogText().find("Number Of Files Extracted"), std::string::npos);
    } else {
        EXPECT_TRUE(messages.empty());
    }
    EXPECT_GE(analysisView_.Rows().size(), c.minimumRows);
    if (c.verdict || c.minimumRows == 0) {
        EXPECT_TRUE(analysisView_.Rows().empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, AnalysisVerdict,
    ::testing::Values(VerdictCase{"NotAnArchive", testzip::Garbage(5000), true, 0},
                      VerdictCase{"ExecutableHeaderOnly", Prefixed({0x4D, 0x5A, 0x90, 0x00}, testzip::Garbage(400)),
                                  true, 0},
                      VerdictCase{"NearSignature", Prefixed({0x50, 0x4B, 0x03, 0x05}, testzip::Garbage(400)), true, 0},
                      VerdictCase{"FirstKilobytesZeroed", ArchiveWithZeroedStart(), false, 10},
                      VerdictCase{"StubInFront", ArchiveBehindStub(), false, 2},
                      VerdictCase{"HundredBytes", testzip::Garbage(100), false, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AnalysisTest, MissingOrTinySourceEndsAtOnceWithItsLogLinesOnly) {
    const std::string tiny = WriteArchive("tiny.zip", testzip::Garbage(100));
    Select({(In() / "gone.zip").string(), tiny});
    Analyse(1);
    Analyse(2);
    EXPECT_TRUE(analysisView_.Messages().empty());
    EXPECT_TRUE(analysisView_.Values("bar").empty());
    EXPECT_EQ(LogText(), "File Number :      1\r\nFile Name   :      " + (In() / "gone.zip").string() +
                             "\r\nFile Number :      2\r\nFile Name   :      " + tiny + "\r\n");
}

TEST_F(AnalysisTest, PauseThenStopThenNoKeepsItPausedAndYesStopsItInsideTheScan) {
    Select({WriteArchive("a.zip", {Stored("a.txt", "alpha"), Stored("b.txt", "beta")})});
    ScanCheckpoint checkpoint(analysis_.ScanProgress());
    job_.m_nCurrentFile = 1;
    analysis_.Start(analysisView_);
    checkpoint.WaitUntilReached();  // the worker is inside the archive layer's scan

    analysis_.OnPause();
    checkpoint.LetGo();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const auto before = analysisView_.Events();
    EXPECT_EQ(before.back(), "pause-text Resume");

    analysisView_.ScriptAnswers({MessageAnswer::No});
    EXPECT_EQ(analysis_.OnStop(), UserChoice::Continued);
    EXPECT_TRUE(analysis_.IsPaused());
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    auto after = analysisView_.Events();
    ASSERT_EQ(after.size(), before.size() + 1);  // only the question
    EXPECT_EQ(after.back(), "message Do you want to Stop the analysis process ");

    analysisView_.ScriptAnswers({MessageAnswer::Yes});
    EXPECT_EQ(analysis_.OnStop(), UserChoice::Stopped);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    after = analysisView_.Events();
    EXPECT_EQ(after.size(), before.size() + 2);
    EXPECT_FALSE(analysisView_.Has("finished"));
    EXPECT_TRUE(analysisView_.Rows().empty());
    EXPECT_EQ(LogText().find("Number Of Files Extracted"), std::string::npos);
    EXPECT_EQ(endCalls_, 0);

    // The next analysis starts afresh, unpaused, and lists the archive.
    AnalysisRecorder second;
    analysis_.Start(second);
    EXPECT_FALSE(analysis_.IsPaused());
    ASSERT_TRUE(second.WaitFor("finished"));
    analysis_.Wait();
    EXPECT_EQ(second.Rows().size(), 2u);
}

TEST_F(AnalysisTest, EscapeAsksAndYesStopsTheWorkerAndEndsTheProcess) {
    Select({WriteArchive("a.zip", {Stored("a.txt", "alpha")})});
    ScanCheckpoint checkpoint(analysis_.ScanProgress());
    job_.m_nCurrentFile = 1;
    analysis_.Start(analysisView_);
    checkpoint.WaitUntilReached();
    analysis_.OnPause();
    checkpoint.LetGo();

    analysisView_.ScriptAnswers({MessageAnswer::No, MessageAnswer::Yes});
    EXPECT_EQ(analysis_.OnEscape(), UserChoice::Continued);
    EXPECT_TRUE(analysis_.IsPaused());
    EXPECT_EQ(endCalls_, 0);
    EXPECT_EQ(analysis_.OnEscape(), UserChoice::ProcessEnded);
    EXPECT_EQ(endCalls_, 1);
    EXPECT_EQ(analysisView_.Messages().at(0).text, "Do you want to exit ? ");
    EXPECT_EQ(analysisView_.Messages().at(0).caption, AppTitle);
    EXPECT_FALSE(analysisView_.Has("finished"));
}

TEST_F(AnalysisTest, CloseBoxActsAsStop) {
    Select({WriteArchive("a.zip", {Stored("a.txt", "alpha")})});
    ScanCheckpoint checkpoint(analysis_.ScanProgress());
    job_.m_nCurrentFile = 1;
    analysis_.Start(analysisView_);
    checkpoint.WaitUntilReached();
    analysisView_.ScriptAnswers({MessageAnswer::Yes});
    std::thread letGo([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        checkpoint.LetGo();
    });
    EXPECT_EQ(analysis_.OnClose(), UserChoice::Stopped);
    letGo.join();
    EXPECT_EQ(analysisView_.Messages().at(0).text, "Do you want to Stop the analysis process ");
    EXPECT_FALSE(analysisView_.Has("finished"));
    EXPECT_EQ(endCalls_, 0);
}

}  // namespace
}  // namespace tessaly::testflow
