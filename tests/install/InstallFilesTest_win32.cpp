// The install chain's file operations where Windows differs: separators and drive roots, the
// copy's private access list, and links.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "install/InstallFiles.h"
#include "install/InterruptGuard.h"
#include "tests/support/TempDir.h"
#include "install/WinSupport_win32.h"
#include <aclapi.h>

namespace fs = std::filesystem;
using InstallFiles::CopyOutcome;

namespace {

constexpr ACCESS_MASK kChangeRights = FILE_WRITE_DATA | FILE_APPEND_DATA | DELETE | WRITE_DAC | WRITE_OWNER;

// Every account an allowing entry of the file's DACL names (with any of `rights`).
std::set<std::wstring> AllowedAccounts(const fs::path& file, ACCESS_MASK rights = ~ACCESS_MASK(0)) {
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetNamedSecurityInfoW(file.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                                nullptr, &descriptor) != ERROR_SUCCESS)
        return {L"<unreadable>"};
    const InstallWin::UniqueLocal<void> owned(descriptor);
    if (!dacl) return {L"<everyone>"};
    std::set<std::wstring> accounts;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        ::GetAce(dacl, i, reinterpret_cast<void**>(&ace));
        if (ace->Header.AceType != ACCESS_ALLOWED_ACE_TYPE || !(ace->Mask & rights)) continue;
        wchar_t* text = nullptr;
        ::ConvertSidToStringSidW(&ace->SidStart, &text);
        accounts.insert(text ? text : L"?");
        ::LocalFree(text);
    }
    return accounts;
}

// Whether only this user, SYSTEM and the Administrators may touch (or, given `rights`, change)
// the file, this user among them.
bool Private(const fs::path& file, const std::wstring& user, ACCESS_MASK rights = ~ACCESS_MASK(0)) {
    const std::set<std::wstring> accounts = AllowedAccounts(file, rights);
    for (const std::wstring& account : accounts)
        if (account != user && account != L"S-1-5-18" && account != L"S-1-5-32-544") return false;
    return accounts.count(user) == 1;
}

bool AllowEveryoneToWrite(const fs::path& file) {
    EXPLICIT_ACCESSW access{};
    access.grfAccessPermissions = FILE_GENERIC_READ | FILE_GENERIC_WRITE;
    access.grfAccessMode = SET_ACCESS;
    access.Trustee.TrusteeForm = TRUSTEE_IS_NAME;
    access.Trustee.ptstrName = const_cast<wchar_t*>(L"EVERYONE");
    PACL acl = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetNamedSecurityInfoW(file.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                                nullptr, &descriptor) != ERROR_SUCCESS)
        return false;
    const InstallWin::UniqueLocal<void> owned(descriptor);
    if (::SetEntriesInAclW(1, &access, dacl, &acl) != ERROR_SUCCESS) return false;
    const InstallWin::UniqueLocal<ACL> ownedAcl(acl);
    return ::SetNamedSecurityInfoW(const_cast<wchar_t*>(file.c_str()), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                   nullptr, nullptr, acl, nullptr) == ERROR_SUCCESS;
}

std::wstring CurrentUserText() {
    std::vector<BYTE> sid = InstallWin::CurrentUserSid();
    wchar_t* text = nullptr;
    ::ConvertSidToStringSidW(sid.data(), &text);
    std::wstring result = text ? text : L"";
    ::LocalFree(text);
    return result;
}

}  // namespace

TEST(InstallFiles_WindowsPaths, BackslashesAndDriveRoots) {
    EXPECT_EQ(InstallFiles::JoinPath(L"C:\\Program Files\\Pelmora", L"set.ini"), L"C:\\Program Files\\Pelmora\\set.ini");
    EXPECT_EQ(InstallFiles::JoinPath(L"C:\\", L"Pelmora"), L"C:\\Pelmora");
    EXPECT_EQ(InstallFiles::JoinPath(L"C:/Apps/", L"Pelmora"), L"C:/Apps/Pelmora");
    EXPECT_EQ(InstallFiles::ParentFolder(L"C:\\Apps\\Pelmora\\uninst.ep"), L"C:\\Apps\\Pelmora");
    EXPECT_EQ(InstallFiles::ParentFolder(L"C:\\uninst.ep"), L"C:\\");
    EXPECT_EQ(InstallFiles::ParentFolder(L"C:/Apps/uninst.ep"), L"C:/Apps");
    EXPECT_EQ(InstallFiles::WithoutTrailingSeparator(L"C:\\Apps\\Pelmora\\\\"), L"C:\\Apps\\Pelmora");
    EXPECT_EQ(InstallFiles::WithoutTrailingSeparator(L"C:\\"), L"C:\\");
    EXPECT_EQ(InstallFiles::WithoutTrailingSeparator(L"D:/Apps/"), L"D:/Apps");
}

TEST(InstallFiles_WindowsCopy, TheCopyIsThisUsersSystemsAndAdministratorsAlone) {
    testsupport::TempDir tmp;
    const fs::path source = tmp.Write("uninst.ep", "program");
    const fs::path target = tmp / "Pelmora_un_asa.exe";
    ASSERT_EQ(InstallFiles::CopyFileReplacing(source.wstring(), target.wstring()), CopyOutcome::kCopied);
    EXPECT_TRUE(Private(target, CurrentUserText())) << testing::PrintToString(AllowedAccounts(target));

    const fs::path other = tmp.Write("package.exe", "package");
    ASSERT_TRUE(AllowEveryoneToWrite(other));
    ASSERT_FALSE(Private(other, CurrentUserText(), kChangeRights));
    ASSERT_TRUE(InstallFiles::MakeOwnerExecutable(other.wstring()));
    // Wine keeps what a Unix mode can say of a list set on an existing file: others may still
    // read there, as its group may; nobody else may change the file anywhere.
    EXPECT_TRUE(Private(other, CurrentUserText(), kChangeRights)) << testing::PrintToString(AllowedAccounts(other));
    EXPECT_EQ(testsupport::ReadFile(other), "package") << "the content stays";
    EXPECT_FALSE(InstallFiles::MakeOwnerExecutable((tmp / "missing.exe").wstring()));
}

TEST(InstallFiles_WindowsCopy, ALinkIsNoSourceAndALinkAtALeftoversNameGoesAlone) {
    testsupport::TempDir tmp;
    const fs::path real = tmp.Write("real.ep", "program");
    if (!::CreateSymbolicLinkW((tmp / "link.ep").c_str(), real.c_str(), SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE))
        GTEST_SKIP() << "no symbolic links here (error " << ::GetLastError() << ")";
    const fs::path target = tmp.Write("private/Pelmora_un_asa.exe", "stale copy");
    EXPECT_EQ(InstallFiles::CopyFileReplacing((tmp / "link.ep").wstring(), target.wstring()), CopyOutcome::kSourceRefused);
    EXPECT_FALSE(fs::exists(target));

    fs::create_directories(tmp / "Pelmora");
    ASSERT_TRUE(::CreateSymbolicLinkW((tmp / "Pelmora" / "__Package_Quorvex.exe_1").c_str(), real.c_str(),
                                      SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE));
    InterruptGuard::RemoveDownloadLeftovers((tmp / "Pelmora" / "__Package_Quorvex.exe").wstring());
    EXPECT_TRUE(fs::is_empty(tmp / "Pelmora"));
    EXPECT_EQ(testsupport::ReadFile(real), "program");
}

TEST(InstallFiles_WindowsLeftovers, NamesAreComparedWithoutCase) {
    testsupport::TempDir tmp;
    tmp.Write("Pelmora/__PACKAGE_QUORVEX.EXE.part", "partial");
    tmp.Write("Pelmora/Compressor.exe", "product");
    InterruptGuard::RemoveDownloadLeftovers((tmp / "Pelmora" / "__Package_Quorvex.exe").wstring());
    EXPECT_FALSE(fs::exists(tmp / "Pelmora" / "__PACKAGE_QUORVEX.EXE.part"));
    EXPECT_TRUE(fs::exists(tmp / "Pelmora" / "Compressor.exe"));
}
