// The sample product's menu and desktop entries: what the package writes and what its
// uninstaller may remove.
#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"
#include "tools/sample-package/DesktopEntries.h"

namespace fs = std::filesystem;

namespace {

std::string Read(const fs::path& file) {
    std::ifstream in(file);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

TEST(SampleDesktopEntries, ExecQuotesAndEscapesTheFolder) {
    const std::string text = sample::DesktopEntryText("/srv/my apps/$x\"q%");
    EXPECT_NE(text.find("Exec=\"/srv/my apps/\\\\$x\\\\\"q%%/compressor.exe\"\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Name=Quorvex\n"), std::string::npos);
    // A line break would let the folder write keys of its own: no entry at all.
    EXPECT_EQ(sample::DesktopEntryText("/srv/a\nExec=/bin/evil"), "");
}

TEST(SampleDesktopEntries, WrittenWhereAskedAndRemovedOnlyWhenOurs) {
    testsupport::TempDir dir;
    testsupport::ScopedEnv data("XDG_DATA_HOME", (dir.path() / "data").string());
    testsupport::ScopedEnv config("XDG_CONFIG_HOME", (dir.path() / "config").string());
    testsupport::ScopedEnv home("HOME", (dir.path() / "home").string());
    const fs::path install = dir.path() / "Pelmora";
    fs::create_directories(install);

    auto written = sample::WriteDesktopEntries(install.string(), false);
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0], (dir.path() / "data" / "applications" / "quorvex-compressor.desktop").string());
    // The desktop folder as the user's dirs file names it.
    fs::create_directories(dir.path() / "config");
    std::ofstream(dir.path() / "config" / "user-dirs.dirs") << "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n";
    written = sample::WriteDesktopEntries(install.string(), true);
    ASSERT_EQ(written.size(), 2u);
    EXPECT_EQ(written[1], (dir.path() / "home" / "Schreibtisch" / "quorvex-compressor.desktop").string());
    EXPECT_EQ(fs::status(written[1]).permissions() & fs::perms::owner_exec, fs::perms::owner_exec);

    // The desktop copy was replaced by the user's own file: it stays.
    std::ofstream(written[1]) << "[Desktop Entry]\nName=Mine\n";
    EXPECT_EQ(sample::RemoveDesktopEntries(install.string()), 1);
    EXPECT_FALSE(fs::exists(written[0]));
    EXPECT_EQ(Read(written[1]), "[Desktop Entry]\nName=Mine\n");
}

TEST(SampleDesktopEntries, ALinkInPlaceOfAnEntryIsReplacedNotFollowed) {
    testsupport::TempDir dir;
    testsupport::ScopedEnv data("XDG_DATA_HOME", (dir.path() / "data").string());
    const fs::path victim = dir.path() / "victim.txt";
    std::ofstream(victim) << "keep";
    fs::create_directories(dir.path() / "data" / "applications");
    fs::create_symlink(victim, dir.path() / "data" / "applications" / "quorvex-compressor.desktop");
    sample::WriteDesktopEntries((dir.path() / "Pelmora").string(), false);
    EXPECT_EQ(Read(victim), "keep");
    EXPECT_FALSE(fs::is_symlink(dir.path() / "data" / "applications" / "quorvex-compressor.desktop"));
}

}  // namespace
