// Entry names and the skip rules, through whole archives in both repair
// modes: long names, junk names, names that try to leave the destination,
// name decoding, encrypted entries and the times stamped on output files.
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <algorithm>
#include <ctime>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archive/SkipRules.h"
#include "archive/ZipArchive.h"
#include "archive/output/OutputDestination.h"
#include "tests/archive/SalvageRun.h"
#include "tests/support/Damage.h"
#include "tests/support/LocalTime.h"
#include "tests/support/Portable.h"

namespace tessaly::archivetest {
namespace {

using namespace testzip;
namespace fs = std::filesystem;

// A relative path of exactly `length` bytes whose components stay below the
// file system's limit for one name.
std::string LongName(std::size_t length) {
    std::string name;
    while (length - name.size() > 60) name += std::string(49, 'd') + "/";
    name += std::string(length - name.size() - 4, 'f') + ".txt";
    return name;
}

const Bytes kBefore = TextContent("before", 3000);
const Bytes kAfter = TextContent("after", 3000);

// The case under test between two good neighbours.
BuiltZip Sandwich(EntryToWrite middle) {
    return BuildZip({Deflated("before.txt", kBefore), std::move(middle), Deflated("after.txt", kAfter)});
}

void ExpectNeighboursIntact(const SalvageRun& run) {
    EXPECT_FALSE(run.openThrew) << run.openError;
    EXPECT_TRUE(IsIntact(run, "before.txt", kBefore));
    EXPECT_TRUE(IsIntact(run, "after.txt", kAfter));
}

struct NameCase {
    const char* label;
    EntryToWrite entry;
    bool extracted;          // written, or skipped with nothing written
    std::string listedName;  // as GetEntryInfo gives it
    std::string outputPath;  // below the output folder, when extracted
};

void PrintTo(const NameCase& c, std::ostream* os) { *os << c.label; }

EntryToWrite WithFlag(EntryToWrite input) {
    input.utf8Flag = true;
    return input;
}

const Bytes kMiddle = TextContent("middle", 1500);

std::vector<NameCase> NameCases() {
    return {
        {"Name500IsRead", Deflated(LongName(500), kMiddle), true, Listed(LongName(500)), LongName(500)},
        {"Name501IsRead", Deflated(LongName(501), kMiddle), true, Listed(LongName(501)), LongName(501)},
        {"Name600IsRead", Stored(LongName(600), kMiddle), true, Listed(LongName(600)), LongName(600)},
        {"Name3000IsRead", Deflated(LongName(3000), kMiddle), true, Listed(LongName(3000)), LongName(3000)},
        {"CapitalsPK", Deflated("PACKING.TXT", kMiddle), true, "PACKING.TXT", "PACKING.TXT"},
        {"Speaker", Stored("MUSIC/SPEAKER.MP3", kMiddle), true, "MUSIC\\SPEAKER.MP3", "MUSIC/SPEAKER.MP3"},
        {"ReportPk", Deflated("REPORT.PK", kMiddle), true, "REPORT.PK", "REPORT.PK"},
        {"SwallowedSignature",
         Deflated("junkPK\x07"
                  "name",
                  kMiddle),
         false,
         "junkPK\x07"
         "name",
         ""},
        {"ControlChar",
         Deflated("bad\x02"
                  "name.txt",
                  kMiddle),
         false,
         "bad\x02"
         "name.txt",
         ""},
        {"EmptyName", Deflated("", kMiddle), false, "", ""},
        {"EmptyFile", Stored("empty.txt", ""), true, "empty.txt", "empty.txt"},
        {"Utf8Flag",
         WithFlag(Deflated("Gr\xC3\xBC\xC3\x9F"
                           "e/\xC3\xBC.txt",
                           kMiddle)),
         true,
         "Gr\xC3\xBC\xC3\x9F"
         "e\\\xC3\xBC.txt",
         "Gr\xC3\xBC\xC3\x9F"
         "e/\xC3\xBC.txt"},
        {"Utf8NoFlag", Deflated("\xE6\x97\xA5\xE6\x9C\xAC.txt", kMiddle), true, "\xE6\x97\xA5\xE6\x9C\xAC.txt",
         "\xE6\x97\xA5\xE6\x9C\xAC.txt"},
        {"Cp437",
         Deflated("Gr\x81\xE1"
                  "e.txt",
                  kMiddle),
         true,
         "Gr\xC3\xBC\xC3\x9F"
         "e.txt",
         "Gr\xC3\xBC\xC3\x9F"
         "e.txt"},
        // Names that try to leave the destination stay inside it.
        {"DotDotInside", Deflated("a/../../up.txt", kMiddle), true, "a\\..\\..\\up.txt", "a/up.txt"},
        {"DotDotLeading", Stored("../../../../tmp/evil.txt", kMiddle), true, "..\\..\\..\\..\\tmp\\evil.txt",
         "tmp/evil.txt"},
        {"BackslashDotDot", Deflated("..\\..\\win.txt", kMiddle), true, "..\\..\\win.txt", "win.txt"},
        {"Absolute", Deflated("/abs/path.txt", kMiddle), true, "\\abs\\path.txt", "abs/path.txt"},
        {"Drive", Deflated("C:\\x\\y.txt", kMiddle), true, "C:\\x\\y.txt", "x/y.txt"},
        {"DriveSlash", Deflated("C:/x/y.txt", kMiddle), true, "C:\\x\\y.txt", "x/y.txt"},
        {"Dots", Deflated("./a/./b.txt", kMiddle), true, ".\\a\\.\\b.txt", "a/b.txt"},
        {"OnlyDotDot", Deflated("../..", kMiddle), false, "..\\..", ""},
    };
}

class EntryNames : public ::testing::TestWithParam<std::tuple<NameCase, RepairMode>> {};

TEST_P(EntryNames, AreReadAndPlacedSafely) {
    const NameCase& c = std::get<0>(GetParam());
    SalvageRun run(Sandwich(c.entry).bytes, std::get<1>(GetParam()));
    ExpectNeighboursIntact(run);
    ASSERT_EQ(run.Count(), 3u);
    const EntryRun& entry = run.entries[1];
    EXPECT_EQ(entry.info.fileName, c.listedName);
    EXPECT_FALSE(entry.threw) << entry.error;
    std::vector<std::string> expectedFiles = {"after.txt", "before.txt"};
    if (c.extracted) {
        EXPECT_EQ(entry.report.outcome, ExtractOutcome::Ok) << entry.report.detail;
        EXPECT_EQ(run.FileContent(c.outputPath), c.entry.data) << c.outputPath;
        EXPECT_EQ(entry.report.outputPath, run.Output() / U8Path(c.outputPath));
        expectedFiles.push_back(c.outputPath);
    } else {
        EXPECT_TRUE(entry.returned);
        EXPECT_EQ(entry.report.outcome, ExtractOutcome::Skipped) << entry.report.detail;
        EXPECT_TRUE(NothingWritten(run, entry));
    }
    std::sort(expectedFiles.begin(), expectedFiles.end());
    EXPECT_EQ(run.files, expectedFiles);
    // Nothing anywhere else below the temporary root either.
    std::vector<std::string> everything = ListFilesBelow(run.Root());
    for (const std::string& path : everything) EXPECT_TRUE(path == "archive.zip" || path.rfind("out/", 0) == 0) << path;
}

std::string NameCaseName(const ::testing::TestParamInfo<std::tuple<NameCase, RepairMode>>& info) {
    return std::string(std::get<0>(info.param).label) + "_" + ModeName(std::get<1>(info.param));
}

INSTANTIATE_TEST_SUITE_P(Table, EntryNames, ::testing::Combine(::testing::ValuesIn(NameCases()), kBothModes),
                         NameCaseName);

std::time_t ModifiedTime(const fs::path& path) { return ModificationTime(path); }

// Entries without data are written too: an empty file (CRC-32 and sizes 0)
// as an empty file with the entry's time, a folder entry as a folder, so
// that empty marker files and empty folders survive. Saving's rule lists
// them as written.
struct EmptyCase {
    const char* label;
    EntryToWrite entry;
    std::string outputPath;
    bool folder;
};

void PrintTo(const EmptyCase& c, std::ostream* os) { *os << c.label; }

EntryToWrite StreamedEmpty(EntryToWrite input) {
    input.streamed = true;
    return input;
}

std::vector<EmptyCase> EmptyCases() {
    return {
        {"StoredEmptyFile", Stored("marks/.keep", ""), "marks/.keep", false},
        {"DeflatedEmptyFile", Deflated("empty.log", ""), "empty.log", false},
        {"StreamedStoredEmptyFile", StreamedEmpty(Stored("s/empty", "")), "s/empty", false},
        {"StreamedDeflatedEmptyFile", StreamedEmpty(Deflated("d/empty", "")), "d/empty", false},
        {"Folder", Stored("empty-folder/", ""), "empty-folder", true},
        {"NestedFolder", Stored("a/b/c/", ""), "a/b/c", true},
        {"BackslashFolder", Stored("win\\dir\\", ""), "win/dir", true},
    };
}

class EmptyEntries : public ::testing::TestWithParam<std::tuple<EmptyCase, RepairMode>> {};

TEST_P(EmptyEntries, AreWrittenWithoutData) {
    const EmptyCase& c = std::get<0>(GetParam());
    EntryToWrite entry = c.entry;
    entry.dosDate = DosDate(2025, 3, 4);
    entry.dosTime = DosTime(5, 6, 8);
    SalvageRun run(Sandwich(entry).bytes, std::get<1>(GetParam()));
    ExpectNeighboursIntact(run);
    ASSERT_EQ(run.Count(), 3u);
    const EntryRun& written = run.entries[1];
    EXPECT_EQ(ExtractSkipVerdict(written.info), std::nullopt);
    EXPECT_TRUE(written.returned);
    EXPECT_EQ(written.report.outcome, ExtractOutcome::Ok) << written.report.detail;
    const fs::path path = run.Output() / fs::path(c.outputPath);
    EXPECT_EQ(written.report.outputPath, path);
    if (c.folder) {
        EXPECT_TRUE(fs::is_directory(path)) << c.outputPath;
        EXPECT_TRUE(fs::is_empty(path));
    } else {
        EXPECT_EQ(run.FileContent(c.outputPath), Bytes{}) << c.outputPath;
        EXPECT_EQ(ModifiedTime(path), LocalTime(2025, 3, 4, 5, 6, 8));
    }
}

INSTANTIATE_TEST_SUITE_P(Table, EmptyEntries, ::testing::Combine(::testing::ValuesIn(EmptyCases()), kBothModes),
                         [](const ::testing::TestParamInfo<std::tuple<EmptyCase, RepairMode>>& info) {
                             return std::string(std::get<0>(info.param).label) + "_" +
                                    ModeName(std::get<1>(info.param));
                         });

// A name that runs past the end of the file ends the pass as a cut header
// does: the entries before it are kept, the cut one is not listed.
class LongNameCut : public ::testing::TestWithParam<RepairMode> {};

TEST_P(LongNameCut, EndsThePassLikeACutHeader) {
    BuiltZip zip = Sandwich(Deflated(LongName(3000), kMiddle));
    TruncateAt(zip.bytes, zip.entries[1].nameOffset + 2000);
    SalvageRun run(zip.bytes, GetParam());
    EXPECT_FALSE(run.openThrew) << run.openError;
    EXPECT_TRUE(IsIntact(run, "before.txt", kBefore));
    EXPECT_EQ(run.Count(), 1u);
}

INSTANTIATE_TEST_SUITE_P(BothModes, LongNameCut, kBothModes, ModeParamName());

class EncryptedEntries : public ::testing::TestWithParam<RepairMode> {};

TEST_P(EncryptedEntries, AreReportedAndNotWritten) {
    EntryToWrite stored = Stored("secret/stored.txt", kMiddle);
    stored.encrypted = true;
    EntryToWrite deflated = Deflated("secret/deflated.txt", kMiddle);
    deflated.encrypted = true;
    EntryToWrite streamed = Deflated("secret/streamed.txt", kMiddle);
    streamed.encrypted = true;
    streamed.streamed = true;
    SalvageRun run(
        BuildZip({Deflated("before.txt", kBefore), stored, deflated, streamed, Deflated("after.txt", kAfter)}).bytes,
        GetParam());
    ExpectNeighboursIntact(run);
    ASSERT_EQ(run.Count(), 5u);
    for (std::size_t i = 1; i <= 3; ++i) {
        const EntryRun& entry = run.entries[i];
        EXPECT_TRUE(entry.info.IsEncrypted()) << i;
        EXPECT_FALSE(entry.threw) << entry.error;
        EXPECT_EQ(entry.report.outcome, ExtractOutcome::Encrypted) << entry.info.fileName;
        EXPECT_TRUE(NothingWritten(run, entry));
    }
    EXPECT_EQ(run.files, (std::vector<std::string>{"after.txt", "before.txt"}));
}

INSTANTIATE_TEST_SUITE_P(BothModes, EncryptedEntries, kBothModes, ModeParamName());

class OutputTimes : public ::testing::TestWithParam<RepairMode> {};

TEST_P(OutputTimes, AreTheEntriesLocalTimes) {
    EntryToWrite dated = Deflated("dated.txt", kMiddle);
    dated.dosDate = DosDate(2026, 12, 7);
    dated.dosTime = DosTime(3, 24, 26);
    EntryToWrite zero = Stored("zero.txt", kMiddle);
    zero.dosDate = 0;
    zero.dosTime = 0;
    SalvageRun run(BuildZip({dated, zero}).bytes, GetParam());
    ASSERT_EQ(run.Count(), 2u);
    EXPECT_EQ(run.entries[0].info.GetModificationTime(), LocalTime(2026, 12, 7, 3, 24, 26));
    EXPECT_EQ(ModifiedTime(run.Output() / "dated.txt"), LocalTime(2026, 12, 7, 3, 24, 26));
    EXPECT_EQ(ModifiedTime(run.Output() / "zero.txt"), LocalTime(1979, 11, 30, 0, 0, 0));
#ifndef _WIN32
    // The Windows attribute value is not applied: permissions are the
    // process default.
    mode_t mask = ::umask(0);
    ::umask(mask);
    struct stat st {};
    ASSERT_EQ(::stat((run.Output() / "dated.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);
#endif
}

INSTANTIATE_TEST_SUITE_P(BothModes, OutputTimes, kBothModes, ModeParamName());

// Output files are never written through a link that is already there.
TEST(OutputLinks, ExistingLinkIsNotFollowed) {
    TempFolder folder;
    WriteFileBytes(folder / "a.zip", BuildZip({Stored("link.txt", "from the archive")}).bytes);
    WriteFileBytes(folder / "outside.txt", ToBytes("outside"));
    fs::create_directory(folder / "out");
    if (!CanMakeSymlinks(folder.Path())) GTEST_SKIP() << "symbolic links need a privilege this process lacks";
    fs::create_symlink(folder / "outside.txt", folder / "out" / "link.txt");
    CZipArchive zip;
    zip.OpenArchive(folder / "a.zip", QuickRepair);
    OutputDestination out(folder / "out");
    try {
        zip.ExtractEntry(0, out, 65535);
    } catch (const std::exception&) {
        // Refusing is fine; writing through the link is not.
    }
    EXPECT_EQ(ReadFileBytes(folder / "outside.txt"), ToBytes("outside"));
}

}  // namespace
}  // namespace tessaly::archivetest
