// The output tree: links already in the destination never redirect a write,
// existing files are replaced rather than truncated, and names that could
// climb out are refused. The destination itself may be a link.
#include "platform/OutputTree.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>

#ifdef _WIN32
#include <windows.h>
#endif

#include "tests/support/Portable.h"
#include "tests/support/TempFolder.h"

namespace tessaly::platformtest {
namespace {

namespace fs = std::filesystem;
using namespace testzip;

void WriteText(CFile& file, const std::string& text) { file.Write(text.data(), text.size()); }

// A destination "out" beside a folder "outside" that must stay empty.
struct Planted {
    TempFolder folder;
    fs::path out = folder / "out";
    fs::path outside = folder / "outside";
    Planted() {
        fs::create_directories(out);
        fs::create_directories(outside);
    }
};

// Windows gives symbolic links only to a privileged process (or in
// developer mode); without them there is nothing to plant.
#define SKIP_WITHOUT_SYMLINKS(folder) \
    if (!CanMakeSymlinks(folder)) GTEST_SKIP() << "symbolic links need a privilege this process lacks"

TEST(OutputTree, LinksOnTheWayAreNeverFollowed) {
    {
        Planted probe;
        SKIP_WITHOUT_SYMLINKS(probe.folder.Path());
    }
    const struct {
        std::string name;
        std::function<void(const Planted&)> plant;
        fs::path entry;
    } cases[] = {
        {"link as the first folder", [](const Planted& p) { fs::create_directory_symlink(p.outside, p.out / "a"); },
         "a/x.txt"},
        {"link deeper down",
         [](const Planted& p) {
             fs::create_directories(p.out / "d/e");
             fs::create_directory_symlink(p.outside, p.out / "d/e/f");
         },
         "d/e/f/g/x.txt"},
        {"relative link climbing out",
         [](const Planted& p) { fs::create_directory_symlink("../outside", p.out / "up"); }, "up/x.txt"},
        {"link in place of the file",
         [](const Planted& p) { fs::create_symlink(p.outside / "x.txt", p.out / "x.txt"); }, "x.txt"},
        {"dangling link in place of the file",
         [](const Planted& p) { fs::create_symlink(p.outside / "new.txt", p.out / "new.txt"); }, "new.txt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Planted planted;
        c.plant(planted);
        COutputTree tree(planted.out);
        ASSERT_TRUE(tree.IsOpen());
        CFile file;
        EXPECT_EQ(tree.CreateOutputFile(c.entry, file), OutputStatus::PassesThroughLink);
        EXPECT_FALSE(file.IsOpen());
        EXPECT_EQ(tree.CreateFolders(c.entry), OutputStatus::PassesThroughLink);
        EXPECT_TRUE(ListFilesBelow(planted.outside).empty());
    }
}

TEST(OutputTree, TheDestinationItselfMayBeALink) {
    Planted planted;
    SKIP_WITHOUT_SYMLINKS(planted.folder.Path());
    fs::create_directory_symlink(planted.out, planted.folder / "chosen");
    COutputTree tree(planted.folder / "chosen");
    CFile file;
    ASSERT_EQ(tree.CreateOutputFile("sub/dir/x.txt", file), OutputStatus::Created);
    WriteText(file, "salvaged");
    file.Close();
    EXPECT_EQ(ToString(ReadFileBytes(planted.out / "sub/dir/x.txt")), "salvaged");
    EXPECT_EQ(file.GetFilePath(), planted.folder / "chosen" / "sub/dir/x.txt");
}

// Another name for the same file (a hard link) must keep its content.
TEST(OutputTree, AnExistingFileIsReplacedNotTruncatedInPlace) {
    Planted planted;
    WriteFileBytes(planted.outside / "keep.txt", ToBytes("precious"));
    fs::create_hard_link(planted.outside / "keep.txt", planted.out / "x.txt");
    COutputTree tree(planted.out);
    CFile file;
    ASSERT_EQ(tree.CreateOutputFile("x.txt", file), OutputStatus::Created);
    EXPECT_EQ(file.GetLength(), 0u);
    WriteText(file, "new");
    file.Close();
    EXPECT_EQ(ToString(ReadFileBytes(planted.outside / "keep.txt")), "precious");
    EXPECT_EQ(ToString(ReadFileBytes(planted.out / "x.txt")), "new");
    EXPECT_EQ(fs::hard_link_count(planted.out / "x.txt"), 1u);
}

TEST(OutputTree, ANonEmptyOrReadOnlyFileIsReplacedAndTheNewOneCanBeReadBack) {
    Planted planted;
    WriteFileBytes(planted.out / "x.txt", ToBytes("old and longer content"));
    fs::permissions(planted.out / "x.txt", fs::perms::owner_read);
    COutputTree tree(planted.out);
    CFile file;
    ASSERT_EQ(tree.CreateOutputFile("x.txt", file), OutputStatus::Created);
    WriteText(file, "abcdef");
    file.SetLength(3);
    file.Seek(0, CFile::Origin::Begin);
    char back[8] = {};
    EXPECT_EQ(file.Read(back, sizeof back), 3u);
    EXPECT_EQ(std::string(back), "abc");
    file.Close();
    EXPECT_EQ(ToString(ReadFileBytes(planted.out / "x.txt")), "abc");
}

TEST(OutputTree, FoldersAndFilesInTheWayAndClimbingNamesAreRefused) {
    Planted planted;
    fs::create_directories(planted.out / "taken");
    WriteFileBytes(planted.out / "file", ToBytes("f"));
    COutputTree tree(planted.out);
#ifdef _WIN32
    const int isFolder = ERROR_DIRECTORY, notFolder = ERROR_DIRECTORY, invalid = ERROR_INVALID_NAME;
#else
    const int isFolder = EISDIR, notFolder = ENOTDIR, invalid = EINVAL;
#endif
    const struct {
        fs::path entry;
        int error;
    } cases[] = {{"taken", isFolder},
                 {fs::path("file") / "x.txt", notFolder},
                 {fs::path("..") / "x.txt", invalid},
                 {fs::path("a") / "." / "x.txt", invalid},
                 {"/abs.txt", invalid}};
    for (const auto& c : cases) {
        SCOPED_TRACE(PathText(c.entry));
        CFile file;
        EXPECT_EQ(tree.CreateOutputFile(c.entry, file), OutputStatus::Refused);
        EXPECT_EQ(tree.LastError(), c.error);
    }
    EXPECT_EQ(ListFilesBelow(planted.folder.Path()), std::vector<std::string>{"out/file"});
}

TEST(OutputTree, AMissingDestinationIsNotOpenedAndCreatesNothing) {
    Planted planted;
    COutputTree tree(planted.folder / "missing");
    EXPECT_FALSE(tree.IsOpen());
    CFile file;
    EXPECT_EQ(tree.CreateOutputFile("x.txt", file), OutputStatus::Refused);
    EXPECT_EQ(tree.CreateFolders("a/b"), OutputStatus::Refused);
    EXPECT_FALSE(fs::exists(planted.folder / "missing"));
}

}  // namespace
}  // namespace tessaly::platformtest
