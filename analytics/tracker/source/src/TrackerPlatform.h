#pragma once
// The operating-system services behind the tracker: the texts that name the system in events,
// GUID bytes, the screen and locale facts, folder creation and the case-blind file lookup of the
// redirection file. One implementation per system. All functions are safe from any thread.
#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>

namespace varnel::tracking::platform {

// "Linux" or "Windows": the "$os" property, the profile's "vn_os".
std::string OsName();
// Linux: the distribution's name and version ("Debian GNU/Linux 12"), else the kernel release.
// Windows: the short version text of the NT version numbers ("10", "7-32").
std::string OsVersion();
// Whether the machine runs a 64-bit system (a 64-bit process, or a 64-bit kernel).
bool Is64BitSystem();
// "Mozilla/5.0(" + name + " " + version + "; " + platform word + "64;)" ("32;)" on a 32-bit
// system); the platform word is the name on Linux ("Linux64;)") and "Win" on Windows
// ("Mozilla/5.0(Windows 10; Win64;)").
std::string UserAgent(const std::string& osName, const std::string& osVersion, bool is64Bit);

// "Linux" / "Windows" for "vn_app_platform" and "LinuxCPP" / "WindowsCPP" for "vn_sdk".
std::string AppPlatform();
std::string SdkName();

// 16 bytes of a new random GUID (libuuid; CoCreateGuid, its fields in reading order so that the
// formatted id reads as the GUID); false when none could be had.
bool CreateGuidBytes(std::array<std::uint8_t, 16>& bytes);

// The primary screen's width and height in pixels; {0, 0} when unknown. On Linux the tracker
// has no display of its own and asks Utils::PrimaryScreenSize (fed by the entry point).
std::pair<int, int> PrimaryScreenSize();
// ISO 639 language and ISO 3166 country of the user's locale ({"zh", "CN"}); an empty part when
// unknown.
std::pair<std::string, std::string> UserLanguageAndCountry();

// Creates every missing folder of `folder` (on Linux mode 0700 for new ones, as for any
// per-user state). True when the whole chain exists as folders afterwards.
bool CreateFolderChain(const std::filesystem::path& folder);

// The regular file in `folder` whose name equals `name` without regard to ASCII case. An exact
// match wins; among several other matches the first in byte order. Nothing when none exists or
// the folder cannot be read.
std::optional<std::filesystem::path> FindFileNoCase(const std::filesystem::path& folder, const std::string& name);

// The running executable's folder (empty when it cannot be told) and the base of the tracker's
// own folder ($XDG_STATE_HOME; the local application data folder on Windows).
std::filesystem::path ExecutableFolder();
std::filesystem::path LocalStateFolder();

}  // namespace varnel::tracking::platform
