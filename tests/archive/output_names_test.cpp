// Output names: entry names a file system cannot hold are written under a
// name it can, the report names the file as it is on disk, and two entries
// that would be one file on a case-blind system are both kept. The Windows
// rules are checked on every platform by asking for them.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "archive/ZipArchive.h"
#include "archive/output/OutputDestination.h"
#include "archive/output/OutputNames.h"
#include "archive/salvage/SalvageDriver.h"
#include "tests/archive/SalvageRun.h"
#include "tests/support/Portable.h"
#include "tests/support/TempFolder.h"
#include "tests/support/ZipWriter.h"

namespace tessaly::archivetest {
namespace {

namespace fs = std::filesystem;
using namespace testzip;

const NameRules kWindows{true, true};
const NameRules kPosix{false, false};

TEST(StorableComponent, WindowsDevicesReservedCharactersAndTrailingDotsBecomeWritable) {
    const struct {
        const char* name;
        const char* stored;
    } cases[] = {
        {"NUL.txt", "NUL_.txt"},
        {"con", "con_"},
        {"Com1.tar.gz", "Com1_.tar.gz"},
        {"LPT9", "LPT9_"},
        {"aux.", "aux_"},
        {"prn .log", "prn _.log"},
        {"COM0.txt", "COM0.txt"},
        {"CONSOLE.txt", "CONSOLE.txt"},
        {"nul.txt.", "nul_.txt_"},
        {"a<b>c:d\"e|f?g*h", "a_b_c_d_e_f_g_h"},
        {"name. .", "name___"},
        {"tab\there", "tab_here"},
        {".hidden", ".hidden"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(StorableComponent(c.name, kWindows), c.stored) << c.name;
        // Other systems hold each of these as it is.
        EXPECT_EQ(StorableComponent(c.name, kPosix), c.name);
    }
}

TEST(StorableComponent, ALongComponentIsShortenedKeepingItsExtensionAndApartFromItsNeighbours) {
    const std::string stem(300, 'a');
    const std::string first = StorableComponent(stem + "1.txt", kPosix);
    const std::string second = StorableComponent(stem + "2.txt", kPosix);
    EXPECT_LE(first.size(), kMaxComponentBytes);
    EXPECT_EQ(first.substr(first.size() - 4), ".txt");
    EXPECT_NE(first, second);
    EXPECT_EQ(StorableComponent(std::string(255, 'b'), kPosix), std::string(255, 'b'));
    // Two-byte characters are never cut in half.
    std::string accented;
    for (int i = 0; i < 200; ++i) accented += "\xC3\xA9";
    const std::string shortened = StorableComponent(accented + ".dat", kWindows);
    EXPECT_LE(shortened.size(), kMaxComponentBytes);
    const std::string start = shortened.substr(0, shortened.find('~'));
    EXPECT_EQ(start.size() % 2, 0u);
    EXPECT_EQ(accented.compare(0, start.size(), start), 0);
}

TEST(OutputNamesClaim, CaseBlindClashesAreKeptSideBySideAndTheSameNameReplaces) {
    COutputNames names(kWindows);
    EXPECT_EQ(names.Claim("dir/Case.txt"), fs::path("dir") / "Case.txt");
    EXPECT_EQ(names.Claim("DIR/case.txt"), fs::path("DIR") / "case (2).txt");
    EXPECT_EQ(names.Claim("dir/Case.txt"), fs::path("dir") / "Case.txt");
    EXPECT_EQ(names.Claim("dir\\CASE.TXT"), fs::path("dir") / "CASE (3).TXT");
    // A name the mapping makes equal to another is kept apart the same way.
    EXPECT_EQ(names.Claim("NUL.txt"), fs::path("NUL_.txt"));
    EXPECT_EQ(names.Claim("nul_.txt"), fs::path("nul_ (2).txt"));
    // Letters beyond ASCII fold too.
    EXPECT_EQ(names.Claim(std::string("\xC3\x89t\xC3\xA9.txt")), U8Path("\xC3\x89t\xC3\xA9.txt"));
    EXPECT_EQ(names.Claim(std::string("\xC3\xA9t\xC3\xA9.txt")), U8Path("\xC3\xA9t\xC3\xA9 (2).txt"));

    COutputNames caseKeeping(kPosix);
    EXPECT_EQ(caseKeeping.Claim("Case.txt"), fs::path("Case.txt"));
    EXPECT_EQ(caseKeeping.Claim("case.txt"), fs::path("case.txt"));
}

// Whether `text` is whole UTF-8: no character cut at either end.
bool IsWholeUtf8(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
        if (length == 0 || i + length > text.size()) return false;
        for (std::size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
        i += length;
    }
    return true;
}

// Names at and past the component limit, each claimed by a dozen distinct
// entry names that all map to it: every numbered name fits, keeps its
// number in view, keeps a short extension, never cuts a character, and no
// two are alike.
TEST(OutputNamesClaim, NumberedNamesOfLongComponentsStayWithinTheLimit) {
    std::string accented;
    for (int i = 0; i < 130; ++i) accented += "\xC3\xA9";
    const struct {
        const char* label;
        std::string name;
        const char* extension;  // kept in every numbered name
    } cases[] = {
        {"exactly at the limit", std::string(251, 'a') + ".txt", ".txt"},
        {"just below the limit", std::string(249, 'b') + ".txt", ".txt"},
        {"shortened", std::string(400, 'c') + ".txt", ".txt"},
        {"long extension", "d." + std::string(300, 'e'), ""},
        {"extension filling the limit", "f." + std::string(252, 'g'), ""},
        {"no extension", std::string(255, 'h'), ""},
        {"two-byte characters", accented + ".dat", ".dat"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        COutputNames names(kPosix);
        std::set<fs::path> given;
        std::string prefix;
        for (unsigned n = 1; n <= 12; ++n, prefix += "./") {
            const std::string stored = "dir/" + prefix + c.name;
            const fs::path claimed = names.Claim(stored);
            EXPECT_EQ(claimed.parent_path(), fs::path("dir"));
            const std::string file = claimed.filename().string();
            EXPECT_LE(file.size(), kMaxComponentBytes) << file;
            EXPECT_TRUE(IsWholeUtf8(file)) << file;
            const std::string extension = c.extension;
            EXPECT_EQ(file.compare(file.size() - extension.size(), extension.size(), extension), 0) << file;
            if (n > 1) {
                const std::string number = " (" + std::to_string(n) + ")" + extension;
                EXPECT_EQ(file.compare(file.size() - number.size(), number.size(), number), 0) << file;
            }
            EXPECT_TRUE(given.insert(claimed).second) << file;
            EXPECT_EQ(names.Claim(stored), claimed) << "the same name again is the same file";
        }
    }
}

// Distinct stored names that sanitising makes one path are each a file of
// their own; the same name, with either separator, is still one file.
TEST(OutputNamesClaim, DistinctNamesForOnePathAreNumberedAndTheSameNameIsOneFile) {
    for (const NameRules& rules : {kPosix, kWindows}) {
        COutputNames names(rules);
        EXPECT_EQ(names.Claim("b.txt"), fs::path("b.txt"));
        EXPECT_EQ(names.Claim("../b.txt"), fs::path("b (2).txt"));
        EXPECT_EQ(names.Claim("/b.txt"), fs::path("b (3).txt"));
        EXPECT_EQ(names.Claim("./b.txt"), fs::path("b (4).txt"));
        EXPECT_EQ(names.Claim("C:\\b.txt"), fs::path("b (5).txt"));
        EXPECT_EQ(names.Claim("z:/b.txt"), fs::path("b (6).txt"));
        EXPECT_EQ(names.Claim("b.txt"), fs::path("b.txt"));
        EXPECT_EQ(names.Claim("../b.txt"), fs::path("b (2).txt"));
        // An entry of its own that already carries the next number keeps
        // it; numbering passes over it.
        EXPECT_EQ(names.Claim("b (7).txt"), fs::path("b (7).txt"));
        EXPECT_EQ(names.Claim("x/../b.txt"), fs::path("x") / "b.txt");
        EXPECT_EQ(names.Claim(".\\.\\b.txt"), fs::path("b (8).txt"));
        EXPECT_EQ(names.Claim("././b.txt"), fs::path("b (8).txt")) << "one name whatever its separators";
        EXPECT_EQ(names.Claim("dir/a.txt"), fs::path("dir") / "a.txt");
        EXPECT_EQ(names.Claim("dir\\a.txt"), fs::path("dir") / "a.txt");
        EXPECT_EQ(names.Claim("dir//a.txt"), fs::path("dir") / "a (2).txt");
    }
}

// Salvages every entry with the given rules, one thread; returns the reports.
std::vector<ExtractReport> ExtractAll(const Bytes& archive, const TempFolder& folder, const NameRules& rules,
                                      PasswordSource* passwords = nullptr) {
    WriteFileBytes(folder / "names.zip", archive);
    CZipArchive zip;
    zip.OpenArchive(folder / "names.zip", QuickRepair);
    OutputDestination destination(folder / "out", rules);
    tessaly::SalvageOptions options;
    options.passwords = passwords;
    options.keepEntries = true;
    SalvageObserver observer;
    std::vector<ExtractReport> reports;
    for (const SalvagedEntry& entry : SalvageEntries(zip, destination, options, observer).entries)
        reports.push_back(entry.report);
    EXPECT_EQ(reports.size(), zip.GetCount());
    zip.CloseArchive(false);
    return reports;
}

// Every entry reported ok is on disk under the reported path with its own
// bytes, below the destination, and the renamed ones say their new name.
TEST(OutputNamesOnDisk, HostileWindowsNamesAreAllWrittenAndReportedAsTheyAreOnDisk) {
    const std::string deep = std::string(120, 'd') + "/" + std::string(120, 'e') + "/" + std::string(70, 'f') + ".txt";
    const std::vector<std::string> entryNames = {
        "NUL.txt",     "dir/con",  "Com1.tar.gz", "trailing.", "blank ", "what?.txt",
        "a<b>|c*.txt", "Case.txt", "case.txt",    "CASE.txt",  deep,     std::string(300, 'x') + ".bin",
    };
    std::vector<EntryToWrite> entries;
    for (std::size_t i = 0; i < entryNames.size(); ++i)
        entries.push_back(Stored(entryNames[i], "entry " + std::to_string(i)));
    TempFolder folder;
    // Windows itself runs with its own rules; elsewhere they are asked for.
    const NameRules rules = NameRules::ForThisSystem().windowsNames ? NameRules::ForThisSystem() : kWindows;
    const std::vector<ExtractReport> reports = ExtractAll(BuildZip(entries).bytes, folder, rules);
    ASSERT_EQ(reports.size(), entryNames.size());
    std::set<fs::path> paths;
    for (std::size_t i = 0; i < reports.size(); ++i) {
        SCOPED_TRACE(entryNames[i]);
        EXPECT_EQ(reports[i].outcome, ExtractOutcome::Ok) << reports[i].detail;
        EXPECT_TRUE(paths.insert(reports[i].outputPath).second) << "two entries reported one file";
        EXPECT_EQ(ToString(ReadFileBytes(reports[i].outputPath)), "entry " + std::to_string(i));
        const fs::path relative = reports[i].outputPath.lexically_relative(folder / "out");
        EXPECT_FALSE(relative.empty() || *relative.begin() == "..");
        const auto written = relative.generic_u8string();
        const bool renamed = entryNames[i] != std::string(written.begin(), written.end());
        EXPECT_EQ(reports[i].detail.find("written as "), renamed ? 0u : std::string::npos) << reports[i].detail;
    }
    EXPECT_EQ(ListFilesBelow(folder / "out").size(), entryNames.size());
    EXPECT_EQ(reports[0].outputPath, folder / "out" / "NUL_.txt");
    EXPECT_EQ(reports[0].detail, "written as NUL_.txt");
    EXPECT_EQ(reports[8].outputPath, folder / "out" / "case (2).txt");
    EXPECT_EQ(reports[9].outputPath, folder / "out" / "CASE (3).txt");
}

// Long names that other names map onto are all written under numbered
// names the file system takes: none fails as a name too long.
TEST(OutputNamesOnDisk, NumberedLongNamesAreAllWritten) {
    const std::vector<std::string> bases = {std::string(251, 'a') + ".txt", "d." + std::string(300, 'e'),
                                            "f." + std::string(252, 'g')};
    std::vector<EntryToWrite> entries;
    for (const std::string& base : bases)
        for (const char* prefix : {"", "../", "/", "./", "C:/", "z:\\"})
            entries.push_back(Stored(prefix + base, "entry " + std::to_string(entries.size())));
    TempFolder folder;
    const std::vector<ExtractReport> reports = ExtractAll(BuildZip(entries).bytes, folder, NameRules::ForThisSystem());
    ASSERT_EQ(reports.size(), entries.size());
    std::set<fs::path> paths;
    for (std::size_t i = 0; i < reports.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(reports[i].outcome, ExtractOutcome::Ok) << reports[i].detail;
        EXPECT_TRUE(paths.insert(reports[i].outputPath).second);
        EXPECT_EQ(ToString(ReadFileBytes(reports[i].outputPath)), "entry " + std::to_string(i));
        EXPECT_EQ(reports[i].outputPath.parent_path(), folder / "out");
    }
    EXPECT_EQ(ListFilesBelow(folder / "out").size(), entries.size());
}

// An entry a wrong password keeps locked writes nothing and takes no name:
// the next entry whose name clashes with it is written under its own.
TEST(OutputNamesOnDisk, AnEntryThatCannotBeReadLeavesItsNameFree) {
    TempFolder folder;
    FixedPassword wrong(std::string("wrong"));
    const auto reports =
        ExtractAll(BuildZip({WithPassword(Stored("Case.txt", "locked"), "right"), Stored("case.txt", "open")}).bytes,
                   folder, kWindows, &wrong);
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].outcome, ExtractOutcome::Encrypted) << reports[0].detail;
    EXPECT_EQ(reports[1].outcome, ExtractOutcome::Ok);
    EXPECT_EQ(reports[1].outputPath, folder / "out" / "case.txt");
    EXPECT_EQ(reports[1].detail, "");
    EXPECT_EQ(ListFilesBelow(folder / "out"), std::vector<std::string>{"case.txt"});
}

// The same entry name twice is one file, the later entry's, on every system.
TEST(OutputNamesOnDisk, TheSameNameAgainReplacesTheEarlierFile) {
    TempFolder folder;
    const auto reports = ExtractAll(BuildZip({Stored("same.txt", "first"), Stored("same.txt", "second")}).bytes, folder,
                                    NameRules::ForThisSystem());
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].outputPath, reports[1].outputPath);
    EXPECT_EQ(ToString(ReadFileBytes(folder / "out" / "same.txt")), "second");
    EXPECT_EQ(ListFilesBelow(folder / "out"), std::vector<std::string>{"same.txt"});
}

}  // namespace
}  // namespace tessaly::archivetest
