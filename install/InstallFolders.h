#pragma once
// Where the product goes when the user does not choose.
#include <string>

#include "install/InstalledCopy.h"

struct AdminState {
    bool userIsAdmin = false;     // the console user is an administrator
    bool processIsAdmin = false;  // this process runs elevated
};

// Refreshes both flags: the console user's privilege (false without a console user) and
// the process's.
AdminState ReadAdminState();

// The previous install folder when its kept uninstaller still exists; otherwise
// $APPDATA/VarNel/Pelmora for an administrator in an elevated process with APPDATA set, else
// the program files folder (/opt for root, the user's data folder otherwise) + "/Pelmora".
std::wstring DefaultInstallFolder(const PreviousInstallation& previous, const AdminState& admin);
