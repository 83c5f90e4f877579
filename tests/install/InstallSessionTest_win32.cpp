// The install session's pre-checks on Windows: the process list, the folder names Windows
// refuses, and the access lists a privileged installer must not trust.
#include <gtest/gtest.h>

#include <filesystem>

#include "install/InstallFolderCheck.h"
#include "install/InstallSession.h"
#include "install/ProcessSnapshot.h"
#include "tests/support/TempDir.h"
#include "utils/StringUtils.h"
#include "install/FolderAccess_win32.h"
#include "install/WinSupport_win32.h"
#include <aclapi.h>
#include <sddl.h>

namespace fs = std::filesystem;
using InstallFolderCheck::Trust;

namespace {

// The test child program copied to a given file name and started there (sleeping), ended at
// the end of the scope. It gets no console and no handle of this process, and runs in a job
// that ends it when this process lets go of the job: under wine a console child ended while it
// was still setting up its console left wine's console host running for good, and every wine
// process keeps the test runner's error stream, so the runner waited for it until its time limit.
class NamedProbe {
public:
    explicit NamedProbe(const fs::path& program) {
        fs::create_directories(program.parent_path());
        fs::copy_file(CHILD_PROBE, program, fs::copy_options::overwrite_existing);
        job_.reset(::CreateJobObjectW(nullptr, nullptr));
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        if (!job_ ||
            !::SetInformationJobObject(job_.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits))
            return;
        std::wstring command = L"\"" + program.wstring() + L"\" script sleep:30000";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        if (!::CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE,
                              DETACHED_PROCESS | CREATE_SUSPENDED, nullptr, nullptr, &startup, &info))
            return;
        InstallWin::UniqueHandle process(info.hProcess);
        const InstallWin::UniqueHandle thread(info.hThread);
        if (!::AssignProcessToJobObject(job_.get(), info.hProcess) || ::ResumeThread(info.hThread) == DWORD(-1)) {
            ::TerminateProcess(info.hProcess, 1);
            return;
        }
        process_ = std::move(process);
    }
    ~NamedProbe() { Stop(); }
    bool Running() const { return process_ != nullptr; }
    void Stop() {
        if (!process_) return;
        ::TerminateProcess(process_.get(), 1);
        ::WaitForSingleObject(process_.get(), 10000);
        process_.reset();
    }

private:
    InstallWin::UniqueHandle job_;  // closed last: ends whatever of the probe is left
    InstallWin::UniqueHandle process_;
};

// Adds an entry to a folder's DACL that allows `rights` to Everyone, with `flags`.
bool AllowEveryone(const fs::path& folder, DWORD rights, DWORD flags) {
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                                nullptr, &descriptor) != ERROR_SUCCESS)
        return false;
    const InstallWin::UniqueLocal<void> owned(descriptor);
    EXPLICIT_ACCESSW access{};
    access.grfAccessPermissions = rights;
    access.grfAccessMode = GRANT_ACCESS;
    access.grfInheritance = flags;
    access.Trustee.TrusteeForm = TRUSTEE_IS_NAME;
    access.Trustee.ptstrName = const_cast<wchar_t*>(L"EVERYONE");
    PACL updated = nullptr;
    if (::SetEntriesInAclW(1, &access, dacl, &updated) != ERROR_SUCCESS) return false;
    const InstallWin::UniqueLocal<ACL> ownedAcl(updated);
    return ::SetNamedSecurityInfoW(const_cast<wchar_t*>(folder.c_str()), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                   nullptr, nullptr, updated, nullptr) == ERROR_SUCCESS;
}

std::wstring FolderProblem(InstallSession& session, const fs::path& folder) {
    InstallParams params;
    params.folder = folder.wstring();
    session.SetParams(params);
    const auto failure = session.Check(PreCheckStep::kFolder);
    return failure ? failure->detail : L"";
}

}  // namespace

TEST(InstallSession_WindowsPreChecks, ARunningUninstallerCopyOrEarlierPackageIsFoundInTheProcessList) {
    testsupport::TempDir tmp;
    InstallSession session{[](int32_t, double, const wchar_t*) {}};
    InstallParams params;
    params.folder = (tmp / "Pelmora").wstring();
    session.SetParams(params);
    EXPECT_FALSE(session.Check(PreCheckStep::kUninstallerRunning));
    {
        NamedProbe uninstaller(tmp / "bin" / "Pelmora_un_asa.exe");
        ASSERT_TRUE(uninstaller.Running());
        EXPECT_TRUE(ProcessSnapshot::IsRunning("Pelmora_un_asa.exe"));
        EXPECT_TRUE(ProcessSnapshot::IsRunning("PELMORA_UN_ASA.EXE")) << "names compare as the file system does";
        const auto failure = session.Check(PreCheckStep::kUninstallerRunning);
        ASSERT_TRUE(failure);
        EXPECT_EQ(failure->noticeId, L"IDMsgSoftRunning");
    }
    EXPECT_FALSE(ProcessSnapshot::IsRunning("Pelmora_un_asa.exe"));

    // An earlier package counts only when it runs from this folder's package path.
    NamedProbe package(tmp / "Pelmora" / "__Package_Quorvex.exe");
    ASSERT_TRUE(package.Running());
    const std::string path = Utils::ToUtf8((tmp / "Pelmora" / "__Package_Quorvex.exe").wstring());
    EXPECT_TRUE(ProcessSnapshot::IsRunningFrom(path));
    EXPECT_FALSE(ProcessSnapshot::IsRunningFrom(Utils::ToUtf8((tmp / "Other" / "__Package_Quorvex.exe").wstring())));
    EXPECT_TRUE(session.Check(PreCheckStep::kUninstallerRunning));
    params.folder = (tmp / "Other").wstring();
    session.SetParams(params);
    EXPECT_FALSE(session.Check(PreCheckStep::kUninstallerRunning));
    package.Stop();
    EXPECT_FALSE(ProcessSnapshot::IsRunningFrom(path));
}

TEST(InstallFolderCheck_WindowsNames, NamesWindowsOrPackagesCannotTakeAreRefused) {
    for (const std::wstring bad :
         {L"", L"Pelmora", L"\\Pelmora", L"C:Pelmora", L"\\\\?\\C:\\Pelmora", L"\\\\.\\C:\\Pelmora", L"C:\\Pel\"mora",
          L"C:\\Pelmora ", L"C:\\ Pelmora", L"C:\\My Apps \\Pelmora", L"C:\\Pel\nmora", L"C:\\Pel\tmora",
          L"C:\\Pel<mora", L"C:\\Pel>mora", L"C:\\Pel|mora", L"C:\\Pel?mora", L"C:\\Pel*mora", L"C:\\Pel:mora",
          L"C:\\Pelmora.", L"C:\\Apps.\\Pelmora", L"C:\\NUL", L"C:\\Apps\\con\\Pelmora", L"C:\\com1.txt",
          L"\\\\server", L"\\\\server\\"})
        EXPECT_NE(InstallFolderCheck::NameProblem(bad), L"") << Utils::ToUtf8(bad);
    for (const std::wstring good : {L"C:\\Program Files (x86)\\Pelmora", L"D:\\My Apps\\中文 目录", L"C:\\Pelmora\\",
                                    L"C:/Apps/Pelmora", L"C:\\", L"\\\\server\\share\\Pelmora", L"C:\\Apps\\.\\Pelmora",
                                    L"C:\\console\\nullable\\com10\\Pelmora"})
        EXPECT_EQ(InstallFolderCheck::NameProblem(good), L"") << Utils::ToUtf8(good);
}

TEST(InstallFolderCheck_WindowsCreation, FoldersAreMadeOutermostFirstUpTo260Characters) {
    testsupport::TempDir tmp;
    const fs::path folder = tmp.path() / L"中文 目录" / "a" / "Pelmora";
    EXPECT_EQ(InstallFolderCheck::CreateProblem(folder.wstring()), L"");
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_EQ(InstallFolderCheck::CreateProblem(folder.wstring()), L"") << "an existing folder is fine";
    EXPECT_EQ(InstallFolderCheck::WriteProblem(folder.wstring()), L"");
    EXPECT_TRUE(fs::is_empty(folder)) << "the write probe leaves nothing behind";

    const std::wstring base = (tmp / "long").wstring() + L"\\";
    const std::wstring tooLong = base + std::wstring(261 - base.size(), L'x');
    EXPECT_NE(InstallFolderCheck::CreateProblem(tooLong), L"");
    EXPECT_FALSE(fs::exists(tmp / "long"));
    tmp.Write("file", "x");
    EXPECT_NE(InstallFolderCheck::CreateProblem((tmp / "file" / "Pelmora").wstring()), L"");
    EXPECT_NE(InstallFolderCheck::WriteProblem((tmp / "missing").wstring()), L"");
}

TEST(InstallFolderCheck_WindowsOwnership, FoldersOthersCanChangeAreRefused) {
    testsupport::TempDir tmp;
    const fs::path mine = tmp / "mine" / "Pelmora";
    fs::create_directories(mine);
    // This user's own folders are trusted, up to the drive's root.
    EXPECT_EQ(InstallFolderCheck::OwnershipProblem(mine.wstring()), L"");
    EXPECT_EQ(InstallFolderCheck::OwnershipProblem((mine / "not" / "yet").wstring()), L"");
    // A check that trusts only the system's accounts refuses this user's folders.
    EXPECT_NE(InstallFolderCheck::OwnershipProblem(mine.wstring(), Trust::kSystemOnly), L"");

    // Everyone may write into the install folder itself.
    const fs::path open = tmp / "open" / "Pelmora";
    fs::create_directories(open);
    ASSERT_TRUE(AllowEveryone(open, FILE_GENERIC_WRITE, NO_INHERITANCE));
    EXPECT_NE(InstallFolderCheck::OwnershipProblem(open.wstring()), L"");

    // Everyone may replace what lies in a folder further up, existing or not yet made.
    const fs::path above = tmp / "above";
    fs::create_directories(above / "Apps" / "Pelmora");
    ASSERT_TRUE(AllowEveryone(above, FILE_GENERIC_WRITE | DELETE | FILE_DELETE_CHILD, NO_INHERITANCE));
    EXPECT_NE(InstallFolderCheck::OwnershipProblem((above / "Apps" / "Pelmora").wstring()), L"");
    EXPECT_NE(InstallFolderCheck::OwnershipProblem((above / "Pelmora").wstring()), L"");

    // The session runs the check when it runs elevated, before anything is created.
    InstallSession session{[](int32_t, double, const wchar_t*) {}};
    const std::wstring problem = FolderProblem(session, above / "Pelmora");
    BOOL elevated = FALSE;
    BYTE admins[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof admins;
    ASSERT_TRUE(::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admins, &size));
    ASSERT_TRUE(::CheckTokenMembership(nullptr, admins, &elevated));
    if (elevated) {
        EXPECT_NE(problem, L"");
        EXPECT_FALSE(fs::exists(above / "Pelmora"));
    } else {
        std::printf("not elevated: the session leaves the access lists alone\n");
        EXPECT_EQ(problem, L"");
    }
}

namespace {

// Judges a security descriptor written as SDDL text, as the folder check judges a folder's.
std::wstring JudgeSddl(const std::wstring& sddl, FolderAccess::Role role, const std::vector<BYTE>& user) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
        return L"<bad SDDL>";
    const InstallWin::UniqueLocal<void> owned(descriptor);
    PSID owner = nullptr;
    PACL dacl = nullptr;
    BOOL defaulted = FALSE, present = FALSE;
    ::GetSecurityDescriptorOwner(descriptor, &owner, &defaulted);
    ::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted);
    return FolderAccess::Judge(owner, present ? dacl : nullptr, role, user);
}

std::vector<BYTE> Sid(const wchar_t* text) {
    PSID sid = nullptr;
    if (!::ConvertStringSidToSidW(text, &sid)) return {};
    const InstallWin::UniqueLocal<void> owned(sid);
    const BYTE* bytes = static_cast<const BYTE*>(sid);
    return std::vector<BYTE>(bytes, bytes + ::GetLengthSid(sid));
}

}  // namespace

// Access lists as Windows sets them, judged without a file system (wine keeps only what a
// Unix mode can say of a file's access list).
TEST(InstallFolderCheck_WindowsOwnership, AccessListsAreJudgedByWhatTheyLetOthersDoWhereTheFolderStands) {
    using FolderAccess::Role;
    const std::vector<BYTE> bob = Sid(L"S-1-5-21-1-2-3-1001");
    ASSERT_FALSE(bob.empty());
    constexpr wchar_t kTrustedInstaller[] = L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
    // "C:\Program Files": the system's, read and run for users, full rights for its creator.
    const std::wstring programFiles = std::wstring(L"O:") + kTrustedInstaller + L"D:P(A;;FA;;;" + kTrustedInstaller +
                                      L")(A;CIIO;GA;;;" + kTrustedInstaller +
                                      L")(A;;0x1301bf;;;SY)(A;OICIIO;GA;;;SY)(A;;0x1301bf;;;BA)(A;OICIIO;GA;;;BA)"
                                      L"(A;;0x1200a9;;;BU)(A;OICIIO;GXGR;;;BU)(A;OICIIO;GA;;;CO)(A;;0x1200a9;;;AC)";
    for (const Role role : {Role::kTarget, Role::kNearestAncestor, Role::kAncestor})
        EXPECT_EQ(JudgeSddl(programFiles, role, {}), L"");
    // "C:": users may add folders, and folders made there give authenticated users "modify".
    const std::wstring driveRoot =
        L"O:SYD:(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)(A;OICIIO;SDGXGWGR;;;AU)(A;;0x4;;;AU)";
    EXPECT_EQ(JudgeSddl(driveRoot, Role::kAncestor, {}), L"") << "adding beside what is there changes nothing";
    EXPECT_NE(JudgeSddl(driveRoot, Role::kNearestAncestor, {}), L"") << "a folder made here would be open to all";
    EXPECT_NE(JudgeSddl(driveRoot, Role::kTarget, {}), L"");

    // The trusted user's own folder, and the same folder for a check that does not trust them.
    const std::wstring bobs = L"O:S-1-5-21-1-2-3-1001D:P(A;OICI;FA;;;S-1-5-21-1-2-3-1001)(A;OICI;FA;;;SY)";
    EXPECT_EQ(JudgeSddl(bobs, Role::kTarget, bob), L"");
    EXPECT_EQ(JudgeSddl(bobs, Role::kTarget, {}), L"owned by another user");
    // Another user who may write, by a right given to them alone or passed on to files only.
    EXPECT_EQ(JudgeSddl(L"O:BAD:(A;;FA;;;BA)(A;;0x2;;;S-1-5-21-1-2-3-1001)", Role::kTarget, {}),
              L"writable by other users");
    EXPECT_EQ(JudgeSddl(L"O:BAD:(A;;FA;;;BA)(A;OIIO;GW;;;S-1-5-21-1-2-3-1001)", Role::kTarget, {}),
              L"writable by other users");
    EXPECT_EQ(JudgeSddl(L"O:BAD:(A;;FA;;;BA)(A;OIIO;GW;;;S-1-5-21-1-2-3-1001)", Role::kNearestAncestor, {}), L"")
        << "rights for files only do not reach a new folder";
    // Replacing what lies below: deleting children, or taking the folder over.
    for (const wchar_t* right : {L"0x40", L"SD", L"WD", L"WO", L"GA"})
        EXPECT_EQ(JudgeSddl(std::wstring(L"O:BAD:(A;;") + right + L";;;WD)", Role::kAncestor, {}),
                  L"writable by other users")
            << Utils::ToUtf8(right);
    // No access list at all: everyone may do everything.
    const std::vector<BYTE> admins = Sid(L"BA");
    EXPECT_EQ(FolderAccess::Judge(const_cast<BYTE*>(admins.data()), nullptr, Role::kAncestor, {}),
              L"open to everyone (no access list)");
    // A denial does not take back what an allowing entry gives.
    EXPECT_NE(JudgeSddl(L"O:BAD:(D;;FA;;;WD)(A;;FA;;;WD)", Role::kTarget, {}), L"");
}
