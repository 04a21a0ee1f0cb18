// Which offered archives join the main dialog's list, and when Repair takes
// the list: the same file is listed once under whatever name the file
// system gives it, and nothing that is not an existing file joins.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "tests/support/Portable.h"
#include "tests/support/TempFolder.h"
#include "workflow/ArchiveSelection.h"

namespace tessaly {
namespace {

namespace fs = std::filesystem;
using Paths = std::vector<std::string>;
using testzip::PathText;

class ArchiveSelection : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(folder_ / "sub");
        testzip::WriteFileBytes(folder_ / "A.zip", {1, 2, 3});
    }
    std::string Archive() const { return PathText(folder_ / "A.zip"); }

    testzip::TempFolder folder_{"tessaly-selection"};
};

TEST_F(ArchiveSelection, AnArchiveJoinsOnceWhateverPathNamesItAndOnlyExistingFilesJoin) {
    const std::string detour = PathText(folder_ / "sub" / ".." / "A.zip");
    const Paths offered = {Archive(), detour, PathText(folder_ / "missing.zip"), PathText(folder_ / "sub"), ""};
    EXPECT_EQ(ArchivesToAdd({}, offered), Paths{Archive()});
    EXPECT_EQ(ArchivesToAdd({Archive()}, {detour}), Paths{});

    // A name relative to the current folder joins as a full path.
    const fs::path before = fs::current_path();
    fs::current_path(folder_.Path());
    const Paths relative = ArchivesToAdd({}, {"A.zip"});
    fs::current_path(before);
    EXPECT_EQ(relative, Paths{Archive()});
}

TEST_F(ArchiveSelection, TheFileSystemDecidesWhatIsTheSameFile) {
    std::string otherCase = Archive();
    otherCase.replace(otherCase.size() - 5, 5, "a.ZIP");
#ifdef _WIN32
    // Names compare without regard to letter case.
    EXPECT_EQ(ArchivesToAdd({Archive()}, {otherCase}), Paths{});
#else
    // Two names in different case are two files; a hard link is the same one.
    testzip::WriteFileBytes(otherCase, {4});
    EXPECT_EQ(ArchivesToAdd({Archive()}, {otherCase}), Paths{otherCase});
    const fs::path link = folder_ / "link.zip";
    fs::create_hard_link(folder_ / "A.zip", link);
    EXPECT_EQ(ArchivesToAdd({Archive()}, {PathText(link)}), Paths{});
#endif
}

#ifdef _WIN32
TEST(ArchiveSelectionRoot, AFileInADriveRootIsListedWithOneSeparator) {
    // The picker can give "C:\\\\name" for a file in a drive's root.
    const fs::path file = fs::path(L"C:\\tessaly-selection-root.zip");
    try {
        testzip::WriteFileBytes(file, {1});
    } catch (const std::exception&) {
        GTEST_SKIP() << "C:\\ cannot be written here (it needs administrator rights on Windows; wine allows it)";
    }
    const std::string name = PathText(file.filename());
    EXPECT_EQ(ArchivesToAdd({}, {"C:\\\\" + name}), Paths{"C:\\" + name});
    std::error_code error;
    fs::remove(file, error);
}
#endif

TEST(ArchiveSelectionRules, DroppedFilesNeedTheZipExtensionAndRepairAnExistingLastPath) {
    EXPECT_TRUE(HasZipExtension("a.zip"));
    EXPECT_TRUE(HasZipExtension("B.ZiP"));
    EXPECT_FALSE(HasZipExtension("a.zip.txt"));
    EXPECT_FALSE(HasZipExtension("zip"));

    testzip::TempFolder folder("tessaly-selection");
    testzip::WriteFileBytes(folder / "x.zip", {1});
    const std::string existing = PathText(folder / "x.zip");
    EXPECT_TRUE(SelectionIsRepairable({existing}));
    EXPECT_FALSE(SelectionIsRepairable({}));
    EXPECT_FALSE(SelectionIsRepairable({existing, " "}));
    EXPECT_FALSE(SelectionIsRepairable({existing, PathText(folder / "gone.zip")}));
}

}  // namespace
}  // namespace tessaly
