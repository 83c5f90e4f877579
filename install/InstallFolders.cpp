#include "install/InstallFolders.h"

#include "install/InstallFiles.h"
#include "utils/PathText.h"
#include "utils/SpecialFolders.h"
#include "utils/SystemInfo.h"

AdminState ReadAdminState() {
    AdminState state;
    std::wstring user;
    state.userIsAdmin = Utils::GetConsoleUserName(user) && Utils::IsUserAdmin(user);
    state.processIsAdmin = Utils::IsProcessAdmin();
    return state;
}

std::wstring DefaultInstallFolder(const PreviousInstallation& previous, const AdminState& admin) {
    if (previous.Exists() && InstallFiles::FileExists(previous.uninstallerPath)) return previous.installPath;
    std::wstring base;
    const auto appData = Utils::AppDataFolder();
    if (admin.userIsAdmin && admin.processIsAdmin && appData)
        base = InstallFiles::JoinPath(Utils::PathToWide(*appData), L"VarNel");
    else
        base = Utils::PathToWide(Utils::ProgramFilesFolder());
    return InstallFiles::JoinPath(base, L"Pelmora");
}
