// The archive layer's small pure pieces: error causes, name decoding, the
// junk-name rule, safe output paths and DOS times.
#include <ctime>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "archive/EntryName.h"
#include "archive/FileHeader.h"
#include "archive/ZipException.h"
#include "platform/Utf8.h"
#include "tests/support/LocalTime.h"

namespace tessaly {
namespace {

using testzip::LocalTime;

struct CauseCase {
    int code;
    int cause;
};

class CauseMapping : public ::testing::TestWithParam<CauseCase> {};

TEST_P(CauseMapping, CodeMapsToCause) { EXPECT_EQ(CZipException::CauseFromCode(GetParam().code), GetParam().cause); }

INSTANTIATE_TEST_SUITE_P(Table, CauseMapping,
                         ::testing::Values(CauseCase{1, 2}, CauseCase{2, 3}, CauseCase{-1, 4}, CauseCase{-2, 5},
                                           CauseCase{-3, 6}, CauseCase{-4, 7}, CauseCase{-5, 8}, CauseCase{-6, 9},
                                           CauseCase{-101, 10}, CauseCase{-102, 11}, CauseCase{-103, 12},
                                           CauseCase{-104, 13}, CauseCase{-105, 14}, CauseCase{-106, 15},
                                           CauseCase{-107, 16},
                                           // Not in the table: Z_OK and anything else.
                                           CauseCase{0, 1}, CauseCase{3, 1}, CauseCase{-7, 1}, CauseCase{-100, 1},
                                           CauseCase{-108, 1}));

TEST(ArchiveError, ThrowCarriesCauseFileAndOffset) {
    try {
        ThrowArchiveError(badArchive, "/data/a.zip", 1234, "local header cut short");
        FAIL() << "did not throw";
    } catch (const CZipException& e) {
        EXPECT_EQ(e.Cause(), 10);
        EXPECT_EQ(e.FileName(), std::filesystem::path("/data/a.zip"));
        EXPECT_EQ(e.Offset(), 1234u);
    }
}

TEST(ArchiveError, CheckZlibResultPassesOkAndNeedDictOnly) {
    EXPECT_NO_THROW(CheckZlibResult(0));
    EXPECT_NO_THROW(CheckZlibResult(2));
    for (int code : {1, -1, -2, -3, -4, -5, -6}) {
        try {
            CheckZlibResult(code);
            ADD_FAILURE() << "code " << code << " did not raise";
        } catch (const CZipException& e) {
            EXPECT_EQ(e.Cause(), CZipException::CauseFromCode(code)) << "code " << code;
        }
    }
}

struct NameCase {
    const char* label;
    std::string bytes;
    bool utf8Flag;
    std::string expected;
};

void PrintTo(const NameCase& c, std::ostream* os) { *os << c.label; }

class NameDecoding : public ::testing::TestWithParam<NameCase> {};

TEST_P(NameDecoding, DecodesToUtf8) {
    const NameCase& c = GetParam();
    auto bytes = reinterpret_cast<const std::uint8_t*>(c.bytes.data());
    EXPECT_EQ(DecodeEntryName(bytes, c.bytes.size(), c.utf8Flag), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, NameDecoding,
    ::testing::Values(NameCase{"Ascii", "dir/a.txt", false, "dir/a.txt"},
                      NameCase{"Utf8Flag",
                               "Gr\xC3\xBC\xC3\x9F"
                               "e.txt",
                               true,
                               "Gr\xC3\xBC\xC3\x9F"
                               "e.txt"},
                      NameCase{"ValidUtf8NoFlag", "\xE6\x97\xA5\xE6\x9C\xAC.txt", false,
                               "\xE6\x97\xA5\xE6\x9C\xAC.txt"},
                      // 0x81 is u-umlaut and 0xE1 sharp s in code page 437.
                      NameCase{"Cp437",
                               "Gr\x81\xE1"
                               "e.txt",
                               false,
                               "Gr\xC3\xBC\xC3\x9F"
                               "e.txt"},
                      NameCase{"Cp437Box", "\xB0\xC9\xCD.txt", false, "\xE2\x96\x91\xE2\x95\x94\xE2\x95\x90.txt"},
                      NameCase{"CutAtNul", std::string("abc\0def", 7), false, "abc"}, NameCase{"Empty", "", false, ""}),
    [](const ::testing::TestParamInfo<NameCase>& info) { return std::string(info.param.label); });

TEST(NameDecodingFlagged, InvalidUtf8UnderTheFlagStillGivesAUsableName) {
    std::string bytes = "bad\xFF\xFEname.txt";
    std::string name = DecodeEntryName(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), true);
    EXPECT_FALSE(name.empty());
    EXPECT_TRUE(IsValidUtf8(name)) << name;
}

struct JunkCase {
    const char* label;
    std::string name;
    bool junk;
};

void PrintTo(const JunkCase& c, std::ostream* os) { *os << c.label; }

class JunkNameRule : public ::testing::TestWithParam<JunkCase> {};

TEST_P(JunkNameRule, Classifies) { EXPECT_EQ(IsJunkName(GetParam().name), GetParam().junk) << GetParam().name; }

INSTANTIATE_TEST_SUITE_P(
    Table, JunkNameRule,
    ::testing::Values(JunkCase{"CapitalsPAndK", "PACKING.TXT", false}, JunkCase{"Speaker", "SPEAKER.MP3", false},
                      JunkCase{"ReportPk", "REPORT.PK", false}, JunkCase{"LowerPk", "report.pk", false},
                      JunkCase{"PkThenDel", "PK\x7F.txt", false}, JunkCase{"PkThenLetter", "PKZIP.EXE", false},
                      JunkCase{"LocalSignature",
                               "abPK\x03\x04"
                               "cd",
                               true},
                      JunkCase{"PkThenOne", "xPK\x01", true}, JunkCase{"PkThenEight", "PK\x08z", true},
                      JunkCase{"ControlChar",
                               "a\x01"
                               "b.txt",
                               true},
                      JunkCase{"Tab", "a\tb.txt", true}, JunkCase{"Newline", "a\nb.txt", true},
                      JunkCase{"Unicode", "\xC3\xBC.txt", false}),
    [](const ::testing::TestParamInfo<JunkCase>& info) { return std::string(info.param.label); });

struct PathCase {
    const char* label;
    std::string name;
    std::string expected;  // generic form; empty when nothing is left
};

void PrintTo(const PathCase& c, std::ostream* os) { *os << c.label; }

class SafePath : public ::testing::TestWithParam<PathCase> {};

TEST_P(SafePath, StaysBelowTheDestination) {
    std::filesystem::path path = SafeRelativePath(GetParam().name);
    EXPECT_EQ(path.generic_string(), GetParam().expected);
    EXPECT_FALSE(path.is_absolute());
    EXPECT_FALSE(path.has_root_name());
    for (const auto& part : path) EXPECT_TRUE(part != ".." && part != "." && !part.empty()) << path;
}

INSTANTIATE_TEST_SUITE_P(Table, SafePath,
                         ::testing::Values(PathCase{"Plain", "dir/sub/a.txt", "dir/sub/a.txt"},
                                           PathCase{"Backslashes", "dir\\sub\\a.txt", "dir/sub/a.txt"},
                                           PathCase{"DotDotInside", "a/../../up.txt", "a/up.txt"},
                                           PathCase{"DotDotLeading", "../../etc/evil", "etc/evil"},
                                           PathCase{"DotDotBackslash", "..\\..\\win.ini", "win.ini"},
                                           PathCase{"Absolute", "/etc/passwd", "etc/passwd"},
                                           PathCase{"DriveBackslash", "C:\\x\\y.txt", "x/y.txt"},
                                           PathCase{"DriveSlash", "C:/x/y.txt", "x/y.txt"},
                                           PathCase{"DriveRelative", "d:y.txt", "y.txt"},
                                           PathCase{"UncLike", "\\\\server\\share\\f.txt", "server/share/f.txt"},
                                           PathCase{"DotsAndEmpties", "./a//./b.txt", "a/b.txt"},
                                           PathCase{"OnlyDotDot", "..", ""}, PathCase{"OnlySeparators", "//\\", ""},
                                           PathCase{"Empty", "", ""}),
                         [](const ::testing::TestParamInfo<PathCase>& info) { return std::string(info.param.label); });

struct TimeCase {
    const char* label;
    std::uint16_t date;
    std::uint16_t time;
    std::time_t expected;
};

void PrintTo(const TimeCase& c, std::ostream* os) { *os << c.label; }

class DosTimeConversion : public ::testing::TestWithParam<TimeCase> {};

TEST_P(DosTimeConversion, GivesLocalTime) {
    CFileHeader header;
    header.modDate = GetParam().date;
    header.modTime = GetParam().time;
    EXPECT_EQ(header.GetModificationTime(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Table, DosTimeConversion,
                         ::testing::Values(
                             // Month -1 of 1980 is December 1979, and its day 0 is 30 November.
                             TimeCase{"ZeroIs30Nov1979", 0, 0, LocalTime(1979, 11, 30, 0, 0, 0)},
                             TimeCase{"Ordinary", (46 << 9) | (12 << 5) | 7, (3 << 11) | (24 << 5) | 13,
                                      LocalTime(2026, 12, 7, 3, 24, 26)},
                             TimeCase{"FirstDay", (0 << 9) | (1 << 5) | 1, 0, LocalTime(1980, 1, 1, 0, 0, 0)},
                             TimeCase{"Normalised", (20 << 9) | (2 << 5) | 30, (23 << 11) | (59 << 5) | 29,
                                      LocalTime(2000, 3, 1, 23, 59, 58)}),
                         [](const ::testing::TestParamInfo<TimeCase>& info) { return std::string(info.param.label); });

TEST(FileHeaderCopy, IsDeep) {
    CFileHeader a;
    a.fileName = "a.txt";
    a.extraField.Allocate(4)[0] = 7;
    CFileHeader b = a;
    b.extraField.GetBuffer()[0] = 9;
    b.fileName = "b.txt";
    EXPECT_EQ(a.extraField.GetBuffer()[0], 7);
    EXPECT_EQ(a.fileName, "a.txt");
    EXPECT_NE(a.extraField.GetBuffer(), b.extraField.GetBuffer());
}

}  // namespace
}  // namespace tessaly
