#pragma once
// Folder services of the install flow.
#include <filesystem>
#include <string>

namespace Utils {

inline constexpr wchar_t kPrivateTempName[] = L"~VarNelTemp.92482B06FB471E17";
inline constexpr size_t kMaxPathChars = 260;

// The installer's private temporary folder, with a trailing "/", created (mode 0700, whatever
// the umask) when missing. An existing folder is used only when it is a real folder (not a link) owned by
// this user with no access for others; otherwise, or when it cannot be created, "".
std::wstring GetTempFolder();

// Creates every missing folder of `path`, outermost first, each with exactly `mode` whatever
// the umask (0755; 0700 for a private one); existing folders are left as they are. False when
// the path has more than 260 characters (nothing is created) or a folder cannot be created or
// is not a folder.
bool CreateDirectories(const std::wstring& path, unsigned mode = 0755);
// The same for the installer's own stores, which the 260-character limit of install folders
// does not concern.
bool CreateFolders(const std::filesystem::path& path, unsigned mode = 0755);

}  // namespace Utils
