// The source archive is only ever read: a read-only archive is salvaged like
// any other, and opening, listing and extracting leave its bytes, its
// modification time and (on Linux, watched through inotify, which also sees
// what permission bits cannot stop when the tests run as root) its write
// state untouched.
#ifdef __linux__
#include <fcntl.h>
#include <sys/inotify.h>
#include <unistd.h>
#endif

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archive/ZipArchive.h"
#include "tests/archive/SalvageRun.h"

namespace tessaly::archivetest {
namespace {

using namespace testzip;

struct FileState {
    Bytes bytes;
    std::filesystem::file_time_type modified{};
    std::filesystem::perms mode = std::filesystem::perms::none;
};

FileState Snapshot(const std::filesystem::path& path) {
    FileState state;
    state.bytes = ReadFileBytes(path);
    state.modified = std::filesystem::last_write_time(path);
    state.mode = std::filesystem::status(path).permissions();
    return state;
}

// Counts events that mean the file was opened for writing, written or had
// its times or attributes changed.
class WriteWatch {
public:
    explicit WriteWatch(const std::filesystem::path& path) {
#ifdef __linux__
        fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (fd_ >= 0) inotify_add_watch(fd_, path.c_str(), IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE);
#else
        (void)path;
#endif
    }
    ~WriteWatch() {
#ifdef __linux__
        if (fd_ >= 0) ::close(fd_);
#endif
    }
    int Events() const {
        int count = 0;
#ifdef __linux__
        alignas(struct inotify_event) char buffer[4096];
        ssize_t n;
        while (fd_ >= 0 && (n = ::read(fd_, buffer, sizeof buffer)) > 0) {
            for (char* p = buffer; p < buffer + n;) {
                auto* event = reinterpret_cast<struct inotify_event*>(p);
                ++count;
                p += sizeof(struct inotify_event) + event->len;
            }
        }
#endif
        return count;
    }

private:
    int fd_ = -1;
};

class ReadOnlySource : public ::testing::TestWithParam<RepairMode> {};

TEST_P(ReadOnlySource, IsSalvagedAndLeftUntouched) {
    std::vector<EntryToWrite> inputs = {Stored("a.txt", "alpha"), Deflated("b/c.txt", TextContent("c", 9000))};
    TempFolder folder;
    std::filesystem::path archive = folder / "ro.zip";
    WriteFileBytes(archive, BuildZip(inputs).bytes);
    namespace fs = std::filesystem;
    fs::permissions(archive, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    FileState before = Snapshot(archive);
    WriteWatch watch(archive);

    CZipArchive zip;
    zip.OpenArchive(archive, static_cast<RepairMode>(GetParam()), {}, 0, 1);
    ASSERT_EQ(zip.GetCount(), inputs.size());
    for (const ExtractReport& report : SalvageAll(zip, folder / "out")) EXPECT_EQ(report.outcome, ExtractOutcome::Ok);
    zip.CloseArchive(true);
    EXPECT_EQ(ReadFileBytes(folder / "out" / "b" / "c.txt"), inputs[1].data);
    // Open modes 0 (open) and 1 (open read-only) read alike.
    zip.OpenArchive(archive, static_cast<RepairMode>(GetParam()), {}, 1, 0);
    EXPECT_EQ(zip.GetCount(), inputs.size());
    zip.CloseArchive(true);

    FileState after = Snapshot(archive);
    EXPECT_EQ(after.bytes, before.bytes);
    EXPECT_TRUE(after.modified == before.modified);
    EXPECT_EQ(after.mode, before.mode);
    EXPECT_EQ(watch.Events(), 0) << "the archive was opened for writing, written or had its attributes changed";
#ifdef __linux__
    // The watch itself works: opening for writing is seen.
    int fd = ::open(archive.c_str(), O_WRONLY);
    if (fd >= 0) {
        ::close(fd);
        EXPECT_GT(watch.Events(), 0);
    }
#endif
}

INSTANTIATE_TEST_SUITE_P(BothModes, ReadOnlySource, kBothModes, ModeParamName());

}  // namespace
}  // namespace tessaly::archivetest
