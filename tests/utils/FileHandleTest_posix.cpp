// What only POSIX files show: modes, links, owners, FIFOs, descriptors and errno values.
#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/TempDir.h"
#include "utils/FileHandle.h"
#include "utils/Pipe_posix.h"

using namespace Utils;
using testsupport::TempDir;

namespace {

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return st.st_mode & 07777;
}

std::string Content(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void Put(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

struct Umask {
    explicit Umask(mode_t mask) : saved(::umask(mask)) {}
    ~Umask() { ::umask(saved); }
    mode_t saved;
};

TEST(FileHandle, CreatedFilesHaveTheAskedModeWhateverTheUmask) {
    TempDir dir;
    for (mode_t mask : {mode_t{0}, mode_t{022}, mode_t{077}}) {
        Umask umask(mask);
        const std::string tag = std::to_string(mask);
        EXPECT_TRUE(FileHandle::OpenAppend(dir.path() / ("a" + tag)).IsOpen());
        EXPECT_TRUE(FileHandle::OpenWrite(dir.path() / ("w" + tag), FileHandle::kModePrivate).IsOpen());
        EXPECT_TRUE(FileHandle::CreateFresh(dir.path() / ("f" + tag)).IsOpen());
        EXPECT_EQ(ModeOf(dir.path() / ("a" + tag)), 0644u) << "umask " << tag;
        EXPECT_EQ(ModeOf(dir.path() / ("w" + tag)), 0600u) << "umask " << tag;
        EXPECT_EQ(ModeOf(dir.path() / ("f" + tag)), 0644u) << "umask " << tag;
    }
    // An existing file keeps its mode: only creation sets one.
    const std::string kept = dir.path() / "kept";
    Put(kept, "x");
    ASSERT_EQ(::chmod(kept.c_str(), 0640), 0);
    EXPECT_TRUE(FileHandle::OpenAppend(kept).IsOpen());
    EXPECT_EQ(ModeOf(kept), 0640u);
}

TEST(FileHandle, ALinkAtTheNameIsNeverFollowed) {
    TempDir dir;
    const std::string victim = dir.path() / "victim", link = dir.path() / "link";
    Put(victim, "precious");
    ASSERT_EQ(::symlink(victim.c_str(), link.c_str()), 0);
    for (auto open : {+[](const std::string& p, FileError* e) { return FileHandle::OpenRead(p, e); },
                      +[](const std::string& p, FileError* e) { return FileHandle::OpenAppend(p, 0644, e); },
                      +[](const std::string& p, FileError* e) { return FileHandle::OpenWrite(p, 0644, e); }}) {
        FileError error;
        EXPECT_FALSE(open(link, &error).IsOpen());
        EXPECT_EQ(error.code, ELOOP);
        EXPECT_EQ(error.Cause(), FileCause::LinkRefused);
    }
    // A dangling link must not create its target either.
    const std::string dangling = dir.path() / "dangling", nowhere = dir.path() / "nowhere";
    ASSERT_EQ(::symlink(nowhere.c_str(), dangling.c_str()), 0);
    EXPECT_FALSE(FileHandle::OpenAppend(dangling).IsOpen());
    EXPECT_FALSE(PathExists(nowhere));

    // A fresh file replaces the link itself.
    FileHandle fresh = FileHandle::CreateFresh(link);
    ASSERT_TRUE(fresh.IsOpen());
    ASSERT_TRUE(fresh.WriteAll("new", 3));
    ASSERT_TRUE(fresh.Close());
    EXPECT_EQ(Content(victim), "precious");
    EXPECT_EQ(Content(link), "new");
    struct stat st {};
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
}

TEST(FileHandle, OnlyRegularFilesAreOpened) {
    TempDir dir;
    const std::string fifo = dir.path() / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    FileError error;
    EXPECT_FALSE(FileHandle::OpenRead(fifo, &error).IsOpen());  // returns at once: no writer needed
    EXPECT_EQ(error.code, EINVAL);
    EXPECT_FALSE(FileHandle::OpenAppend(dir.path().string(), 0644, &error).IsOpen());
    EXPECT_EQ(error.code, EISDIR);
    EXPECT_FALSE(FileHandle::CreateFresh(dir.path().string(), 0644, &error).IsOpen());
    EXPECT_FALSE(error.Ok());
    EXPECT_TRUE(PathExists(dir.path().string()));
}

TEST(FileHandle, AnotherUsersFileIsReadButNeverWritten) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to give a file to another user";
    TempDir dir;
    const std::string foreign = dir.path() / "foreign";
    Put(foreign, "theirs");
    ASSERT_EQ(::chown(foreign.c_str(), 65534, 65534), 0);
    FileError error;
    EXPECT_FALSE(FileHandle::OpenAppend(foreign, 0644, &error).IsOpen());
    EXPECT_EQ(error.Cause(), FileCause::NoPermission);
    EXPECT_FALSE(FileHandle::OpenWrite(foreign, 0644, &error).IsOpen());
    EXPECT_TRUE(FileHandle::OpenRead(foreign).IsOpen());
    // Replacing it is allowed: the new file is ours.
    FileHandle fresh = FileHandle::CreateFresh(foreign);
    ASSERT_TRUE(fresh.IsOpen());
    struct stat st {};
    ASSERT_EQ(::fstat(fresh.Native(), &st), 0);
    EXPECT_EQ(st.st_uid, 0u);
}

// The portable test covers appending, offsets and renames; here, the errno a closed handle
// reports.
TEST(FileHandle, AClosedHandleReportsABadDescriptor) {
    TempDir dir;
    FileHandle file = FileHandle::OpenAppend(dir.path() / "data");
    ASSERT_TRUE(file.WriteAll("hello", 5));
    ASSERT_TRUE(file.Close());
    char buffer[1];
    EXPECT_EQ(file.ReadAt(buffer, 1, 0), -EBADF);
    EXPECT_EQ(file.WriteAll("x", 1).code, EBADF);
    EXPECT_EQ(Content(dir.path() / "data"), "hello");
}

// The pipes' ends are file handles too: read in order (no offsets on a pipe), closed once.
TEST(FileHandle, PipeEndsReadInOrderAndCloseOnce) {
    Utils::Pipe pipe;
    const int readFd = pipe.Native().read.Native();
    ASSERT_TRUE(pipe.WriteAll("abcdef", 6));
    char buffer[8] = {};
    EXPECT_EQ(pipe.Native().read.ReadAt(buffer, 2, 0), -ESPIPE);
    EXPECT_EQ(pipe.Read(buffer, 4), 4);
    EXPECT_EQ(std::string(buffer, 4), "abcd");
    pipe.CloseWrite();
    EXPECT_FALSE(pipe.WriteAll("x", 1));
    EXPECT_EQ(pipe.Read(buffer, 8), 2);
    EXPECT_EQ(pipe.Read(buffer, 8), 0);  // the end of data once the writer is gone
    pipe.CloseRead();
    pipe.CloseRead();
    EXPECT_EQ(pipe.Read(buffer, 1), -1);
    EXPECT_EQ(::fcntl(readFd, F_GETFD), -1);
    EXPECT_EQ(errno, EBADF);

    // An adopted descriptor is the handle's to close.
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
    {
        FileHandle writer(fds[1]);
        ASSERT_TRUE(writer.WriteAll("z", 1));
    }
    FileHandle reader(fds[0]);
    EXPECT_EQ(reader.Read(buffer, 8), 1);
    EXPECT_EQ(reader.Read(buffer, 8), 0);
}

TEST(FileHandle, ErrorsCarryTheirCause) {
    TempDir dir;
    // A full disk, for real: /dev/full answers every write with ENOSPC.
    FileHandle full(::open("/dev/full", O_WRONLY | O_CLOEXEC));
    ASSERT_TRUE(full.IsOpen());
    const FileError written = full.WriteAll("x", 1);
    EXPECT_EQ(written.code, ENOSPC);
    EXPECT_EQ(written.Cause(), FileCause::NoSpace);

    FileError error;
    EXPECT_FALSE(FileHandle::OpenRead(dir.path() / "missing", &error).IsOpen());
    EXPECT_EQ(error.Cause(), FileCause::NotFound);
    EXPECT_TRUE(RemoveFile(dir.path() / "missing"));  // nothing left: success
    EXPECT_EQ(RenameFile(dir.path() / "missing", dir.path() / "b").Cause(), FileCause::NotFound);
    EXPECT_EQ(FileSize(dir.path() / "missing"), -1);
    EXPECT_EQ(RemoveFile(dir.path().string()).code, EISDIR);

    Put(dir.path() / "ro", "x");
    ASSERT_EQ(::chmod((dir.path() / "ro").c_str(), 0400), 0);
    FileHandle readOnly = FileHandle::OpenRead(dir.path() / "ro");
    ASSERT_TRUE(readOnly.IsOpen());
    EXPECT_EQ(readOnly.WriteAll("y", 1).code, EBADF);
}

}  // namespace
