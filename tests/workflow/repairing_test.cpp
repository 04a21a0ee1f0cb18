// Saving a repaired archive as the saving dialog drives it: the new
// archive's bytes against the archive layer's own repair in each repair
// mode, the bars and labels, the log, passwords, Pause and Stop, and the
// runs that end without a new archive.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <ostream>
#include <thread>

#include "archive/ZipArchive.h"
#include "archive/repair/ArchiveRepair.h"
#include "log/LogSections.h"
#include "platform/FileSystem.h"
#include "tests/workflow/WorkflowFixture.h"
#include "workflow/Destination.h"
#include "workflow/RepairingRun.h"

namespace tessaly::testflow {
namespace {

namespace fs = std::filesystem;
using testzip::Bytes;
using testzip::Deflated;
using testzip::Stored;

constexpr const char* kPassword = "Kv3#repaired";
// The command-line tool's output block for a repair.
constexpr std::size_t kCliRepairBuffer = 256 * 1024;

// Four entries, one of which only the central directory still names (its
// local header's signature is gone: Advance Repair finds it, Quick Repair
// does not) and one whose compressed data is corrupted halfway.
Bytes DamagedArchive() {
    testzip::BuiltZip zip = testzip::BuildZip({
        Stored("one.txt", "first entry, whole"),
        Deflated("two.txt", testzip::TextContent("two", 6000)),
        Deflated("docs/three.txt", testzip::TextContent("three", 40000)),
        Stored("four.bin", testzip::NoiseContent(4, 9000)),
    });
    testzip::SetLocalField(zip.bytes, zip.entries[1], testzip::LocalField::Signature, 0);
    const testzip::EntryLayout& three = zip.entries[2];
    testzip::FillRange(zip.bytes, three.dataStart + (three.dataEnd - three.dataStart) / 2, 64, 0xA5);
    return zip.bytes;
}

class RepairingTest : public WorkflowTest {
protected:
    fs::path Output(const std::string& name = "repaired.zip") const { return Out() / name; }

    void StartRepair(const std::string& archive, const fs::path& output, RepairMode mode = QuickRepair) {
        job_.m_nRepairMode = mode;
        repairing_.Prepare(archive, PathToUtf8(output));
        repairing_.Start(view_);
    }

    // Runs the repair to its end.
    void Repair(const std::string& archive, const fs::path& output, RepairMode mode = QuickRepair) {
        StartRepair(archive, output, mode);
        ASSERT_TRUE(view_.WaitFor("finished"));
        repairing_.Wait();
    }

    // What the archive layer's repair writes for `archive`, called as the
    // command-line tool calls it.
    static Bytes RepairedByTheArchiveLayer(const std::string& archive, const fs::path& output, RepairMode mode,
                                           PasswordSource* passwords = nullptr) {
        CZipArchive zip;
        zip.OpenArchive(PathFromUtf8(archive), mode);
        RepairOptions options;
        options.salvage.bufferSize = kCliRepairBuffer;
        options.salvage.passwords = passwords;
        options.salvage.resync = mode == AdvanceRepair;  // the tool's default
        RepairObserver quiet;
        const RepairResult result = RepairArchive(zip, output, options, quiet);
        zip.CloseArchive(false);
        EXPECT_TRUE(result.written) << result.problem;
        return result.written ? testzip::ReadFileBytes(output) : Bytes{};
    }

    SavingRecorder view_;
    CRepairingRun repairing_{job_};
};

// ---- The new archive -------------------------------------------------------

TEST_F(RepairingTest, WritesTheArchiveLayersRepairByteForByteInTheChosenMode) {
    const std::string archive = WriteArchive("damaged.zip", DamagedArchive());
    std::vector<std::uint32_t> entries;
    for (RepairMode mode : {QuickRepair, AdvanceRepair}) {
        SCOPED_TRACE(RepairModeLogName(mode));
        const fs::path output = Output(std::string(mode == QuickRepair ? "quick" : "advance") + ".zip");
        Repair(archive, output, mode);
        const RepairingSummary& summary = repairing_.Summary();
        ASSERT_TRUE(summary.written) << summary.problem;
        EXPECT_EQ(testzip::ReadFileBytes(output),
                  RepairedByTheArchiveLayer(archive, Out() / "expected" / output.filename(), mode));
        EXPECT_EQ(summary.length, fs::file_size(output));
        EXPECT_EQ(summary.Count(RepairAction::Partial), 1);
        entries.push_back(summary.entries);
    }
    // The mode reached the scan: Advance Repair also finds two.txt.
    EXPECT_EQ(entries, (std::vector<std::uint32_t>{3, 4}));
    EXPECT_EQ(testzip::ListFilesBelow(Out()),
              (std::vector<std::string>{"advance.zip", "expected/advance.zip", "expected/quick.zip", "quick.zip"}));
}

TEST_F(RepairingTest, AnExistingFileOfTheChosenNameIsReplaced) {
    const std::string archive = WriteArchive("a.zip", {Stored("a.txt", "alpha")});
    testzip::WriteFileBytes(Output(), testzip::ToBytes("an older file"));
    Repair(archive, Output());
    EXPECT_TRUE(repairing_.Summary().written) << repairing_.Summary().problem;
    EXPECT_EQ(testzip::ReadFileBytes(Output()), RepairedByTheArchiveLayer(archive, Out() / "direct.zip", QuickRepair));
}

// ---- What the dialog and the log show ----------------------------------------

TEST_F(RepairingTest, BarsFollowTheEntriesDoneAndTheLabelsNameTheArchiveAndTheNewOne) {
    std::vector<testzip::EntryToWrite> entries;
    for (int i = 0; i < 8; ++i) entries.push_back(Stored("e" + std::to_string(i) + ".txt", "entry"));
    const std::string archive = WriteArchive("eight.zip", entries);
    Repair(archive, Output());

    const std::vector<int> current = view_.Values("current");
    EXPECT_TRUE(StepsThrough(current, {12, 25, 37, 50, 62, 75, 87, 99}));
    EXPECT_EQ(view_.Values("overall"), current);
    EXPECT_EQ(view_.Texts("name"), (std::vector<std::string>{archive}));
    EXPECT_EQ(view_.Texts("number"), (std::vector<std::string>{"1"}));
    EXPECT_EQ(view_.Texts("total"), (std::vector<std::string>{"1"}));
    EXPECT_EQ(view_.Texts("folder"), (std::vector<std::string>{PathToUtf8(Output())}));
    EXPECT_EQ(repairing_.AfterFinished(), AfterSaving::BackToPreview);
}

TEST_F(RepairingTest, LogNamesTheArchiveTheNewOneEachEntryAndWhatTheNewArchiveHolds) {
    const std::string archive = WriteArchive("small.zip", {Stored("a.txt", "alpha"), Stored("dir/b.txt", "bravo!")});
    Repair(archive, Output(), AdvanceRepair);
    EXPECT_EQ(LogText(),
              "\r\n\r\n*************************** Save Repaired Archive ********************************\r\n\r\n"
              "Source File   :      " +
                  archive + "\r\nRepaired File :      " + PathToUtf8(Output()) +
                  "\r\nRepair Mode   :      Advance  Repair\r\n______________\r\n"
                  "\r\n1-   a.txt   :   ok  ->  copied, 5 bytes"
                  "\r\n2-   dir/b.txt   :   ok  ->  copied, 6 bytes"
                  "\r\n\r\n******************* Repaired archive written: 2 entries (2 copied)"
                  "***********************************");
}

TEST_F(RepairingTest, LogSaysWhatBecameOfDamagedAndMissingEntries) {
    const std::string archive = WriteArchive("damaged.zip", DamagedArchive());
    Repair(archive, Output());
    const std::string log = LogText();
    EXPECT_NE(log.find("\r\n1-   one.txt   :   ok  ->  copied, 18 bytes"), std::string::npos) << log;
    EXPECT_EQ(log.find("two.txt"), std::string::npos) << "Quick Repair does not find it";
    EXPECT_NE(log.find("-   docs/three.txt   :   damaged  ->  partial, "), std::string::npos) << log;
    EXPECT_NE(log.find("-   four.bin   :   ok  ->  copied, 9000 bytes"), std::string::npos) << log;
    EXPECT_NE(log.find("Repaired archive written: 3 entries (2 copied, 1 partial)***"), std::string::npos) << log;
}

// ---- Passwords ---------------------------------------------------------------

TEST_F(RepairingTest, EncryptedEntriesGetThePasswordTheDialogAsksForOncePerRun) {
    const std::string archive = WriteArchive(
        "locked.zip", {Stored("open.txt", "in the clear"),
                       testzip::WithPassword(Deflated("a.txt", testzip::TextContent("a", 3000)), kPassword),
                       testzip::WithPassword(Stored("b.txt", "second secret"), kPassword)});
    view_.password = kPassword;
    Repair(archive, Output());
    EXPECT_EQ(view_.Texts("password"), (std::vector<std::string>{"locked.zip"}));
    const RepairingSummary& summary = repairing_.Summary();
    ASSERT_TRUE(summary.written) << summary.problem;
    // Opened with the password, so checked: copied, not copied unverified.
    EXPECT_EQ(summary.Count(RepairAction::Copied), 3);
    EXPECT_EQ(summary.Count(RepairAction::CopiedUnverified), 0);
    EXPECT_NE(LogText().find("2-   a.txt   :   ok  ->  copied, 3000 bytes"), std::string::npos) << LogText();
}

TEST_F(RepairingTest, EncryptedEntriesWithoutAPasswordAreCopiedUnverified) {
    const std::string archive =
        WriteArchive("locked.zip",
                     {Stored("open.txt", "in the clear"), testzip::WithPassword(Stored("b.txt", "secret"), kPassword)});
    view_.password = std::nullopt;
    Repair(archive, Output());
    const RepairingSummary& summary = repairing_.Summary();
    ASSERT_TRUE(summary.written) << summary.problem;
    EXPECT_EQ(summary.Count(RepairAction::CopiedUnverified), 1);
    EXPECT_EQ(testzip::ReadFileBytes(Output()), RepairedByTheArchiveLayer(archive, Out() / "direct.zip", QuickRepair));
}

// ---- Pause and Stop ------------------------------------------------------------

TEST_F(RepairingTest, PauseHoldsTheWorkerAndStopAnsweredNoLetsItFinish) {
    const std::string archive = WriteArchive("a.zip", {Stored("a.txt", "alpha"), Stored("b.txt", "bravo")});
    ScanCheckpoint checkpoint(repairing_.ScanProgress());
    StartRepair(archive, Output());
    checkpoint.WaitUntilReached();
    repairing_.OnPause();
    checkpoint.LetGo();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const std::size_t before = view_.Count();
    EXPECT_EQ(view_.Events().back(), "pause-text Resume");

    view_.ScriptAnswers({MessageAnswer::No});
    EXPECT_EQ(repairing_.OnStop(), UserChoice::Continued);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(view_.Count(), before + 1) << "held: only the question is shown";
    EXPECT_EQ(LogText().find("1-   a.txt"), std::string::npos) << "held: nothing logged";
    EXPECT_TRUE(repairing_.IsPaused());
    ASSERT_EQ(view_.Messages().size(), 1u);
    EXPECT_EQ(view_.Messages()[0].text, RepairingStopQuestion().text);

    repairing_.OnPause();
    ASSERT_TRUE(view_.WaitFor("finished"));
    repairing_.Wait();
    EXPECT_TRUE(repairing_.Summary().written);
    EXPECT_EQ(endCalls_, 0);
}

// The worker is held mid-run by the password question of the second entry,
// the first one already in the new archive's temporary file.
TEST_F(RepairingTest, StopMidRunLeavesNoFileBehindAndLogsTheStop) {
    const std::string archive = WriteArchive(
        "locked.zip", {Stored("first.bin", testzip::NoiseContent(1, 300000)),
                       testzip::WithPassword(Stored("second.txt", "secret"), kPassword), Stored("third.txt", "third")});
    view_.holdPasswords = true;
    StartRepair(archive, Output());
    ASSERT_TRUE(view_.WaitFor("password locked.zip"));
    EXPECT_FALSE(testzip::ListFilesBelow(Out()).empty()) << "the new archive is being written";

    view_.ScriptAnswers({MessageAnswer::Yes});
    EXPECT_EQ(repairing_.OnStop(), UserChoice::Stopped);
    const RepairingSummary& summary = repairing_.Summary();
    EXPECT_TRUE(summary.stopped);
    EXPECT_FALSE(summary.written);
    EXPECT_TRUE(testzip::ListFilesBelow(Out()).empty());
    EXPECT_FALSE(view_.Has("finished"));
    EXPECT_EQ(endCalls_, 0) << "Stop ends the repair, not the program";
    const std::string log = LogText();
    EXPECT_NE(log.find("\r\n1-   first.bin   :   ok  ->  copied, 300000 bytes"), std::string::npos) << log;
    EXPECT_EQ(log.find("second.txt"), std::string::npos) << log;
    EXPECT_EQ(log.find("third.txt"), std::string::npos) << log;
    const std::string end =
        "\r\n\r\n******************* Repaired archive stopped by user: nothing written"
        "***********************************";
    ASSERT_GE(log.size(), end.size());
    EXPECT_EQ(log.substr(log.size() - end.size()), end);
    EXPECT_EQ(RepairingEndMessage(summary).text, "Saving the repaired archive stopped by user. Nothing was saved.");

    // The run is ready for the next one.
    view_.holdPasswords = false;
    view_.password = kPassword;
    Repair(archive, Output());
    EXPECT_TRUE(repairing_.Summary().written) << repairing_.Summary().problem;
}

// ---- Runs that write nothing ---------------------------------------------------

struct NothingWritten {
    const char* name;
    const char* says;  // in the problem
    friend void PrintTo(const NothingWritten& c, std::ostream* os) { *os << c.name; }
};

class RepairingRefused : public RepairingTest, public ::testing::WithParamInterface<NothingWritten> {};

TEST_P(RepairingRefused, EndsWithTheReasonAndWritesNothing) {
    const std::string name = GetParam().name;
    std::string archive = WriteArchive("valid.zip", {Stored("a.txt", "alpha")});
    fs::path output = Output();
    if (name == "the archive itself") output = PathFromUtf8(archive);
    if (name == "no entries") archive = WriteArchive("garbage.zip", testzip::Garbage(5000));
    if (name == "missing archive") archive = PathToUtf8(In() / "gone.zip");
    if (name == "a folder") fs::create_directories(output);
    const bool archiveThere = fs::exists(PathFromUtf8(archive));
    const Bytes before = archiveThere ? testzip::ReadFileBytes(PathFromUtf8(archive)) : Bytes{};

    Repair(archive, output);
    const RepairingSummary& summary = repairing_.Summary();
    EXPECT_FALSE(summary.written);
    EXPECT_FALSE(summary.stopped);
    EXPECT_NE(summary.problem.find(GetParam().says), std::string::npos) << summary.problem;
    if (archiveThere) {
        EXPECT_EQ(testzip::ReadFileBytes(PathFromUtf8(archive)), before);
    }
    if (name != "a folder") {
        EXPECT_FALSE(fs::exists(Output()));
    }
    EXPECT_TRUE(testzip::ListFilesBelow(Out()).empty());
    const std::string log = LogText();
    EXPECT_NE(log.find("******************* Repaired archive not written: " + summary.problem + "***"),
              std::string::npos)
        << log;
    EXPECT_EQ(view_.Values("current").back(), 100);
}

INSTANTIATE_TEST_SUITE_P(Cases, RepairingRefused,
                         ::testing::Values(NothingWritten{"the archive itself", "cannot replace the archive"},
                                           NothingWritten{"no entries", "no entries found"},
                                           NothingWritten{"missing archive", "cannot open"},
                                           NothingWritten{"a folder", "not a file"}),
                         [](const auto& info) {
                             std::string name = info.param.name;
                             for (char& c : name)
                                 if (c == ' ') c = '_';
                             return name;
                         });

// ---- Texts ---------------------------------------------------------------------

TEST(RepairingTexts, CountsNameWhatTheNewArchiveHoldsAndWhatWasLeftOut) {
    RepairingSummary summary;
    summary.written = true;
    summary.output = "/tmp/x (repaired).zip";
    summary.entries = 5;
    summary.Add(RepairAction::Copied);
    summary.Add(RepairAction::Partial);
    summary.Add(RepairAction::CopiedUnverified);
    summary.Add(RepairAction::Recompressed);
    summary.Add(RepairAction::Copied);
    summary.Add(RepairAction::LeftOut);
    summary.Add(RepairAction::LeftOut);
    EXPECT_EQ(RepairedCountsText(summary),
              "5 entries (2 copied, 1 copied unverified, 1 recompressed, 1 partial), 2 left out");
    const Message written = RepairingEndMessage(summary);
    EXPECT_EQ(written.text, "Repaired archive saved:\n/tmp/x (repaired).zip\n\n" + RepairedCountsText(summary) + ".");
    EXPECT_EQ(written.icon, MessageIcon::Information);

    RepairingSummary failed;
    failed.problem = "cannot create /ro/x.zip: Permission denied";
    const Message problem = RepairingEndMessage(failed);
    EXPECT_EQ(problem.text, "The repaired archive could not be saved: cannot create /ro/x.zip: Permission denied.");
    EXPECT_EQ(problem.icon, MessageIcon::Warning);
}

TEST(RepairedArchiveProposal, IsTheArchivesNameWithoutExtensionAndRepairedInItsFolder) {
    const struct {
        std::string archive, folder, name;
    } cases[] = {
        {"/data/in/Photos 2024.zip", "/data/in", "Photos 2024 (repaired).zip"},
        {"/data/in/backup.tar.ZIP", "/data/in", "backup.tar (repaired).zip"},
        {"/data/in/no-extension", "/data/in", "no-extension (repaired).zip"},
        {"/data/Fotos/\xC3\x9C"
         "bersicht.zip",
         "/data/Fotos",
         "\xC3\x9C"
         "bersicht (repaired).zip"},
    };
    for (const auto& c : cases) {
        const RepairedArchiveProposal proposal = ProposeRepairedArchive(c.archive);
        EXPECT_EQ(proposal.folder, c.folder) << c.archive;
        EXPECT_EQ(proposal.name, c.name) << c.archive;
    }
}

}  // namespace
}  // namespace tessaly::testflow
