#pragma once
// Folder services of the install flow.
#include <filesystem>
#include <string>

namespace Utils {

inline constexpr wchar_t kPrivateTempName[] = L"~VarNelTemp.92482B06FB471E17";
inline constexpr size_t kMaxPathChars = 260;

// The installer's private temporary folder in the user's temporary folder, with a trailing
// separator, created when missing; "" when it cannot be had. An existing one is used only when
// it is a real folder (not a link or junction). Linux: created with mode 0700 whatever the
// umask, and an existing one must be this user's with no access for others. Windows: the
// user's temporary folder is private to the user, and the folder inherits that.
std::wstring GetTempFolder();

// Creates every missing folder of `path`, outermost first; existing folders are left as they
// are. Linux: each gets exactly `mode` whatever the umask (0755; 0700 for a private one);
// Windows: the access rules of its parent ("/" and "\" both separate there). False when the
// path has more than 260 characters (nothing is created) or a folder cannot be created or is
// not a folder.
bool CreateDirectories(const std::wstring& path, unsigned mode = 0755);
// The same for the installer's own stores, which the 260-character limit of install folders
// does not concern.
bool CreateFolders(const std::filesystem::path& path, unsigned mode = 0755);

// Whether two folder names, each already in normal form, name the same folder as the file
// system compares names: letter by letter on Linux, without regard to letter case on Windows
// (the system's ordinal rule, the one its file systems use).
bool SameFolderName(const std::wstring& a, const std::wstring& b);

}  // namespace Utils
