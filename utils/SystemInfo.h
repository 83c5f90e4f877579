#pragma once
// What the installer knows of the machine and its user.
#include <string>
#include <utility>

namespace Utils {

// The system family ("Linux") and a short version name: the distribution's NAME and
// VERSION_ID from /etc/os-release ("Debian GNU/Linux 12"), else the kernel release.
std::pair<std::wstring, std::wstring> GetOsVersionName();
// The same from a given os-release text and kernel release (pure; used by the above).
std::wstring OsVersionFromRelease(const std::string& osRelease, const std::string& kernelRelease);

// The account exists and is root or a member of the sudo, wheel or admin group.
bool IsUserAdmin(const std::wstring& userName);
// The process runs with effective uid 0.
bool IsProcessAdmin();
// The user at the console (a login on a ttyN or :N line in utmp); false, with `name`
// unchanged, when there is none.
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
