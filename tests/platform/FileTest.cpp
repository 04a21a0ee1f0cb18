// Files: an archive source opens only when it is a regular file, without
// ever waiting on a pipe; times are stamped on the open file itself.
#include "platform/File.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>

#include "platform/FileSystem.h"
#include "platform/OutputTree.h"
#include "tests/support/TempFolder.h"

namespace tessaly::platformtest {
namespace {

namespace fs = std::filesystem;
using namespace testzip;

// A pipe with no writer would block a plain open for reading forever.
TEST(File, ReadModeRefusesPipesDevicesAndFoldersWithoutWaiting) {
    TempFolder folder;
    ASSERT_EQ(::mkfifo((folder / "pipe").c_str(), 0600), 0);
    const struct {
        fs::path path;
        FileKind kind;
        int error;
    } cases[] = {{folder / "pipe", FileKind::Pipe, ENXIO},
                 {"/dev/null", FileKind::Device, ENXIO},
                 {folder.Path(), FileKind::Folder, EISDIR},
                 {folder / "missing", FileKind::Missing, ENOENT}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.string());
        EXPECT_EQ(KindOfFile(c.path), c.kind);
        CFile file;
        EXPECT_FALSE(file.Open(c.path, CFile::Mode::Read));
        EXPECT_EQ(file.LastError(), c.error);
    }
    WriteFileBytes(folder / "a.zip", ToBytes("PK"));
    fs::create_symlink(folder / "a.zip", folder / "link.zip");
    CFile file;
    EXPECT_TRUE(file.Open(folder / "link.zip", CFile::Mode::Read)) << "a link to an archive is the archive";
    EXPECT_EQ(KindOfFile(folder / "link.zip"), FileKind::Regular);
    char bytes[4];
    EXPECT_EQ(file.Read(bytes, sizeof bytes), 2u);
}

TEST(File, TheModificationTimeGoesOnTheOpenFile) {
    TempFolder folder;
    COutputTree tree(folder.Path());
    CFile file;
    ASSERT_EQ(tree.CreateOutputFile("x.txt", file), OutputStatus::Created);
    const std::time_t when = 1700000000;
    ASSERT_TRUE(file.SetModificationTime(when));
    file.Close();
    struct stat st {};
    ASSERT_EQ(::stat((folder / "x.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, when);
}

}  // namespace
}  // namespace tessaly::platformtest
