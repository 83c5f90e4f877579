#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"
#include "utils/Network.h"
#include "utils/Network_posix.h"
#include "utils/RegistryStore.h"
#include "utils/StringUtils.h"
#include "utils/SystemInfo.h"

using namespace Utils;
using testsupport::TempDir;

namespace {

std::string RunMd5sum(const std::filesystem::path& file) {
    const std::string cmd = "md5sum '" + file.string() + "'";
    FILE* p = popen(cmd.c_str(), "r");
    char buf[64] = {};
    if (p) {
        if (!fgets(buf, sizeof buf, p)) buf[0] = 0;
        pclose(p);
    }
    return std::string(buf).substr(0, 32);
}

}  // namespace

TEST(SystemInfo_Md5, MatchesTheStandardDigestForEmptyAndLargeFiles) {
    TempDir dir;
    EXPECT_EQ(FileMd5Hex(dir.Write("empty", "").string()), "d41d8cd98f00b204e9800998ecf8427e");
    std::string big(5 * 1024 * 1024 + 123, '\0');
    std::mt19937 rng(1);
    for (auto& c : big) c = static_cast<char>(rng());
    const auto f = dir.Write("big.bin", big);
    EXPECT_EQ(FileMd5Hex(f.string()), RunMd5sum(f));
}

TEST(SystemInfo_Version, TheFamilyIsLinux) {
    const auto [family, name] = GetOsVersionName();
    EXPECT_EQ(family, L"Linux");
    EXPECT_FALSE(name.empty());
}

TEST(SystemInfo_Admin, RootIsAnAdministratorAndUnknownUsersAreNot) {
    EXPECT_EQ(IsProcessAdmin(), geteuid() == 0);
    EXPECT_TRUE(IsUserAdmin(L"root"));
    EXPECT_FALSE(IsUserAdmin(L"no-such-user-quorvex"));
    std::wstring name = L"unchanged";
    if (!GetConsoleUserName(name)) {
        EXPECT_EQ(name, L"unchanged");
    }
}

TEST(Network_Classify, MapsGioConnectivityToFlagsAndVerdict) {
    EXPECT_EQ(ClassifyConnectivity(4, true), 0x40u);          // full
    EXPECT_EQ(ClassifyConnectivity(2, true), 0x20020u);       // limited
    EXPECT_EQ(ClassifyConnectivity(3, true), 0x20020u);       // captive portal
    EXPECT_EQ(ClassifyConnectivity(1, true), 0x10000u);       // local only
    EXPECT_EQ(ClassifyConnectivity(4, false), 0x10000u);      // nothing available
    const uint32_t live = CheckNetwork();
    EXPECT_TRUE(live == 0 || live == 0x40 || live == 0x20020 || live == 0x10000) << live;
}

TEST(RegistryStore_Values, RoundTripExactlyAndRefuseLineBreaks) {
    TempDir dir;
    testsupport::ScopedEnv config("XDG_CONFIG_HOME", dir.path().string());
    std::wstring v = L"untouched";
    EXPECT_FALSE(ReadRegString(L"InstallPath", v));
    EXPECT_EQ(v, L"untouched");
    ASSERT_TRUE(WriteRegString(L"InstallPath", L"  /opt/My Apps/\"Quorvex\" "));
    ASSERT_TRUE(WriteRegString(L"UnInstallEp", L"/opt/Quorvex/uninst.ep"));
    EXPECT_TRUE(ReadRegString(L"installpath", v));
    EXPECT_EQ(v, L"  /opt/My Apps/\"Quorvex\" ");
    EXPECT_FALSE(WriteRegString(L"InstallPath", L"a\nb"));
    EXPECT_TRUE(ReadRegString(L"InstallPath", v));
    EXPECT_EQ(v, L"  /opt/My Apps/\"Quorvex\" ");
    EXPECT_TRUE(RegistryStore::Write(L"Software\\Other", L"InstallPath", L"x"));
    EXPECT_TRUE(ReadRegString(L"InstallPath", v));
    EXPECT_EQ(v, L"  /opt/My Apps/\"Quorvex\" ");
    struct stat st{};
    stat((dir.path() / "VarNelSoft" / "registry.ini").c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}
