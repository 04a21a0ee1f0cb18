// Files: an archive source opens only when it is a regular file, without
// ever waiting on a pipe; times are stamped on the open file itself.
#include "platform/File.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#endif

#ifdef _WIN32
#include <windows.h>
#endif

#include "platform/FileException.h"
#include "platform/FileSizeSignal.h"
#include "platform/FileSystem.h"
#include "platform/OutputTree.h"
#include "tests/support/Portable.h"
#include "tests/support/TempFolder.h"

namespace tessaly::platformtest {
namespace {

namespace fs = std::filesystem;
using namespace testzip;

// A pipe with no writer would block a plain open for reading forever.
TEST(File, ReadModeRefusesPipesDevicesAndFoldersWithoutWaiting) {
    TempFolder folder;
    struct Case {
        fs::path path;
        FileKind kind;
        int error;
    };
#ifdef _WIN32
    // Windows has no pipes in the file system; its console and NUL devices
    // are opened and then refused by their type.
    const Case cases[] = {{"NUL", FileKind::Missing, ERROR_BAD_FILE_TYPE},
                          {folder.Path(), FileKind::Folder, ERROR_ACCESS_DENIED},
                          {folder / "missing", FileKind::Missing, ERROR_FILE_NOT_FOUND}};
#else
    ASSERT_EQ(::mkfifo((folder / "pipe").c_str(), 0600), 0);
    const Case cases[] = {{folder / "pipe", FileKind::Pipe, ENXIO},
                          {"/dev/null", FileKind::Device, ENXIO},
                          {folder.Path(), FileKind::Folder, EISDIR},
                          {folder / "missing", FileKind::Missing, ENOENT}};
#endif
    for (const auto& c : cases) {
        SCOPED_TRACE(PathText(c.path));
#ifndef _WIN32
        EXPECT_EQ(KindOfFile(c.path), c.kind);
#endif
        CFile file;
        EXPECT_FALSE(file.Open(c.path, CFile::Mode::Read));
        EXPECT_EQ(file.LastError(), c.error);
    }
    WriteFileBytes(folder / "a.zip", ToBytes("PK"));
    if (!CanMakeSymlinks(folder.Path())) GTEST_SKIP() << "symbolic links need a privilege this process lacks";
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
    EXPECT_EQ(ModificationTime(folder / "x.txt"), when);
}

#ifndef _WIN32
// A write past the process's file-size limit raises SIGXFSZ, which ends the
// process unless it is ignored; ignored, the write fails with EFBIG ("File
// too large") and the bytes that fit stay in the file. Run in a child, with
// the signal at its default action as a shell hands it over.
int WritePastAFileSizeLimit(const fs::path& path) {
    ::signal(SIGXFSZ, SIG_DFL);
    IgnoreFileSizeSignal();
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = 1000;
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 10;
    CFile file;
    if (!file.Open(path, CFile::Mode::CreateWrite)) return 11;
    const std::vector<char> bytes(4000, 'x');
    try {
        file.Write(bytes.data(), bytes.size());
    } catch (const CFileException& fault) {
        const bool told =
            fault.OsError() == EFBIG && std::string(fault.what()).find("File too large") != std::string::npos;
        return !told ? 12 : file.GetLength() != 1000 ? 13 : 0;
    }
    return 14;
}

TEST(File, AWritePastTheFileSizeLimitFailsInsteadOfEndingTheProcess) {
    TempFolder folder;
    EXPECT_EXIT(std::_Exit(WritePastAFileSizeLimit(folder / "big.bin")), ::testing::ExitedWithCode(0), "");
}
#endif

}  // namespace
}  // namespace tessaly::platformtest
