// The skin archive: drawn and packed twice from the sources it gives the same bytes as the one
// linked into the program; entries are deflated, sorted and carry one fixed timestamp; the
// packer refuses input it cannot represent.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>
#include <zip.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "../../support/TempDir.h"
#include "ui/skin/EmbeddedResources.h"

namespace fs = std::filesystem;

namespace {

// Runs a program without a shell; returns its exit status (-1 when it did not exit).
int RunProgram(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string BuildArchive(const fs::path& work) {
    const fs::path art = work / "art", icon = work / "icon", zip = work / "skin.zip";
    EXPECT_EQ(RunProgram({QV_SKIN_ART_PROGRAM, art.string(), icon.string()}), 0);
    EXPECT_EQ(RunProgram({QV_SKIN_ZIP_PROGRAM, zip.string(), QV_SKIN_SOURCE_DIR, art.string()}), 0);
    return ReadAll(zip);
}

// The build made one archive; drawing and packing again from the sources must give its bytes.
TEST(ArchiveTest, ASecondBuildGivesTheLinkedBytes) {
    testsupport::TempDir a;
    const std::string first = BuildArchive(a.path());
    ASSERT_GT(first.size(), 100000u);
    const auto linked = Skin::FindEmbeddedResource("ZIPRES", "IDR_SKIN");
    ASSERT_EQ(linked.size(), first.size());
    EXPECT_TRUE(std::string(reinterpret_cast<const char*>(linked.data()), linked.size()) == first);
    EXPECT_TRUE(ReadAll(QV_BUILT_SKIN_ZIP) == first) << "archive bytes differ between two builds";
}

TEST(ArchiveTest, EntriesAreDeflatedSortedAndUndated) {
    const auto linked = Skin::FindEmbeddedResource("ZIPRES", "IDR_SKIN");
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* src = zip_source_buffer_create(linked.data(), linked.size(), 0, &error);
    ASSERT_NE(src, nullptr);
    zip_t* archive = zip_open_from_source(src, ZIP_RDONLY | ZIP_CHECKCONS, &error);
    ASSERT_NE(archive, nullptr) << zip_error_strerror(&error);
    const zip_int64_t n = zip_get_num_entries(archive, 0);
    ASSERT_GT(n, 129 * 2);
    std::string previous;
    time_t firstTime = 0;
    bool sawBuildFile = false;
    for (zip_int64_t i = 0; i < n; ++i) {
        zip_stat_t st;
        ASSERT_EQ(zip_stat_index(archive, i, 0, &st), 0);
        const std::string name = st.name;
        EXPECT_LT(previous, name);
        previous = name;
        EXPECT_EQ(st.comp_method, ZIP_CM_DEFLATE) << name;
        if (i == 0) firstTime = st.mtime;
        EXPECT_EQ(st.mtime, firstTime) << name;
        sawBuildFile |= name.find("CMakeLists") != std::string::npos;
    }
    EXPECT_FALSE(sawBuildFile);
    zip_close(archive);
}

TEST(ArchiveTest, PackerRefusesANameFoundTwiceAndMissingRoots) {
    testsupport::TempDir dir;
    fs::create_directories(dir.path() / "a");
    fs::create_directories(dir.path() / "b");
    std::ofstream(dir.path() / "a" / "x.xml") << "1";
    std::ofstream(dir.path() / "b" / "x.xml") << "2";
    const fs::path out = dir.path() / "out.zip";
    EXPECT_EQ(RunProgram({QV_SKIN_ZIP_PROGRAM, out.string(), (dir.path() / "a").string(), (dir.path() / "b").string()}), 1);
    EXPECT_FALSE(fs::exists(out));
    EXPECT_EQ(RunProgram({QV_SKIN_ZIP_PROGRAM, out.string(), (dir.path() / "none").string()}), 1);
    EXPECT_EQ(RunProgram({QV_SKIN_ZIP_PROGRAM, out.string()}), 2);
}

}  // namespace
