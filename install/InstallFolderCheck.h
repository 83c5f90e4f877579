#pragma once
// Whether a folder can take an installation, before anything is downloaded:
//  - its name: packages take the folder unquoted after "/D=" and record it in files and the
//    registry, so control characters, a double quote, and a blank at the start or end of any
//    component are refused;
//  - its safety when this process runs as root: every existing folder on the way (the folder
//    itself or its nearest existing ancestor, and theirs up to "/") must belong to root or to
//    the installing user and must not be writable by others without the sticky bit; otherwise
//    another user could swap the downloaded package before root starts it;
//  - its creation: missing folders are made with mode 0755 whatever the umask;
//  - that files can be created in it (a read-only folder is caught here, not after the
//    download).
// Each check returns "" when it passes, else the cause in words.
//
// Stateless; any thread.
#include <string>
#include <sys/types.h>

namespace InstallFolderCheck {

std::wstring NameProblem(const std::wstring& folder);
// `trustedUid` is the user besides root who may own the folders (the installing user).
std::wstring OwnershipProblem(const std::wstring& folder, uid_t trustedUid);
// Creates the folder and its missing parents (0755); at most 260 characters.
std::wstring CreateProblem(const std::wstring& folder);
std::wstring WriteProblem(const std::wstring& folder);

}  // namespace InstallFolderCheck
