// What every downloader owes the installer where files carry links and modes (POSIX): a link
// planted at a name the download writes is never written through, and the package gets its
// mode whatever the umask.
#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/download/AnyDownloader.h"
#include "utils/FileHandle.h"

using namespace DownloadTest;

namespace {

class PosixIntegrityTest : public ::testing::Test {
protected:
    void SetUp() override { WriteRandomFile(dir.File("pkg.bin"), 2 << 20, 31); }
    TempDir dir;
    TempDir out;
    TestServer server{dir.Path()};
};

TEST_F(PosixIntegrityTest, APlantedLinkIsNeverWrittenThrough) {
    // A link at the name of the partial file or of part file 0, pointing at a file of the user
    // the installer runs as: the download must never append to it.
    const std::string victim = out.File("victim");
    const std::string precious(5000, 'v');
    for (Kind kind : {Kind::Single, Kind::Multi, Kind::UrlMoniker}) {
        for (const bool local : {false, true}) {
            if (local && kind == Kind::Multi) continue;  // the multi-connection downloader is HTTP only
            const std::string what = std::string(Name(kind)) + (local ? " from file:" : "");
            { std::ofstream(victim, std::ios::binary | std::ios::trunc) << precious; }
            const std::string url = local ? "file://" + dir.File("pkg.bin") : server->DigestUrl("pkg.bin");
            AnyDownload download(kind, url, out.File("t.bin"));
            const std::string planted = out.File(kind == Kind::Multi ? "t.bin_0" : "t.bin.part");
            ASSERT_EQ(::symlink(victim.c_str(), planted.c_str()), 0) << what;
            ASSERT_TRUE(download.Run()) << what;
            EXPECT_EQ(ReadFile(victim), precious) << what;
            // Either the file arrived intact (the link replaced) or the run failed cleanly.
            if (download.events.Last().code == DL_CODE_SUCCESS) {
                EXPECT_TRUE(SameContent(dir.File("pkg.bin"), out.File("t.bin"))) << what;
            } else {
                EXPECT_FALSE(Exists(out.File("t.bin"))) << what;
            }
            download.downloader.reset();
            Utils::RemoveFile(out.File("t.bin"));
            Utils::RemoveFile(planted);
        }
    }
}

TEST_F(PosixIntegrityTest, TheFileHasItsModeWhateverTheUmask) {
    const mode_t saved = ::umask(077);
    for (Kind kind : {Kind::Single, Kind::Multi, Kind::UrlMoniker}) {
        AnyDownload download(kind, server->DigestUrl("pkg.bin"), out.File("t.bin"));
        ASSERT_TRUE(download.Run());
        ASSERT_EQ(download.events.Last().code, DL_CODE_SUCCESS) << Name(kind);
        struct stat st {};
        ASSERT_EQ(::stat(out.File("t.bin").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0644u) << Name(kind);
        Utils::RemoveFile(out.File("t.bin"));
    }
    ::umask(saved);
}

}  // namespace
