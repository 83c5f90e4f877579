#pragma once
// Whether a folder can take an installation, before anything is downloaded:
//  - its name: packages take the folder unquoted after "/D=" and record it in files and the
//    registry, so control characters, a double quote, and a blank at the start or end of any
//    component are refused, and so is a name the file system would store differently from
//    how it was written (on Windows: a component ending in a dot, the characters <>:|?* and
//    device names such as NUL);
//  - its safety when the installer runs with administrator rights: every existing folder on
//    the way (the folder itself or its nearest existing ancestor, and theirs up to the root)
//    must belong to the system's own accounts or to the trusted user, and no other user may
//    be able to change what the path leads to; otherwise another user could swap the
//    downloaded package before the privileged installer starts it. On Linux: owner root or
//    the trusted user, and not writable by others without the sticky bit. On Windows: owner
//    SYSTEM, Administrators, TrustedInstaller or the trusted user, and the folder's DACL
//    grants no one else the right to replace what lies below it (nor, for the folder that
//    will hold the install, to write into it or into what it passes its rights on to);
//  - its creation: missing folders are made (mode 0755 whatever the umask on Linux);
//  - that files can be created in it (a read-only folder is caught here, not after the
//    download).
// Each check returns "" when it passes, else the cause in words.
//
// Stateless; any thread.
#include <string>

namespace InstallFolderCheck {

// Whom the ownership check trusts besides the system's own accounts.
enum class Trust {
    kCurrentUser,  // the user this process runs as
    kSystemOnly,   // nobody else (as if the installer ran for another user)
};

std::wstring NameProblem(const std::wstring& folder);
std::wstring OwnershipProblem(const std::wstring& folder, Trust trust = Trust::kCurrentUser);
// Creates the folder and its missing parents; at most 260 characters.
std::wstring CreateProblem(const std::wstring& folder);
std::wstring WriteProblem(const std::wstring& folder);

}  // namespace InstallFolderCheck
