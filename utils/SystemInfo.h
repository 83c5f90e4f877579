#pragma once
// What the installer knows of the machine and its user.
#include <string>
#include <utility>

namespace Utils {

// The system family and a short version name. Linux: "Linux" and the distribution's NAME and
// VERSION_ID from /etc/os-release ("Debian GNU/Linux 12"), else the kernel release. Windows:
// "Windows" and the name of WindowsVersionName for the NT version numbers ("10", "8.1"; "XP-"
// when they cannot be had).
std::pair<std::wstring, std::wstring> GetOsVersionName();
// The Linux name from a given os-release text and kernel release.
std::wstring OsVersionFromRelease(const std::string& osRelease, const std::string& kernelRelease);
// The Windows name of NT version major.minor: "XP-" up to 4, "2K", "XP", "Server 2003" (or
// "Server 2003 R2"), "XP+", "Vista", "7", "8", "8.1", "8.1+", "10", "10+"; any other major number
// gives "major.minor.build" with the low 16 bits of the build.
std::wstring WindowsVersionName(unsigned major, unsigned minor, unsigned build, bool serverR2);

// The local account has administrator privilege. Linux: it exists and is root or a member of
// the sudo, wheel or admin group.
bool IsUserAdmin(const std::wstring& userName);
// The process has administrator rights: its token is a member of Administrators; effective
// uid 0 on Linux.
bool IsProcessAdmin();
// The user at the console session (Linux: a login on a ttyN or :N line in utmp); false, with
// `name` unchanged, when there is none.
bool GetConsoleUserName(std::wstring& name);

// The primary screen's size in device pixels; {0, 0} without a display. The utilities know no
// windowing system: the entry point hands in a provider at start-up (one that asks GDK), and
// without one the size is {0, 0}.
struct ScreenSize {
    int width = 0;
    int height = 0;
};
using ScreenSizeProvider = ScreenSize (*)();
// Call on the main thread before other threads exist; nullptr removes the provider.
void SetScreenSizeProvider(ScreenSizeProvider provider);
ScreenSize PrimaryScreenSize();

// A new GUID as 32 hexadecimal digits; letters are upper case except in the third group.
std::wstring NewGuidString();
// MD5 of a file as 32 lower-case hexadecimal digits; "" for an empty path or an unreadable file.
std::string FileMd5Hex(const std::string& path);

}  // namespace Utils
