#pragma once
// The operating-system services behind the tracker: the texts that name the system in events,
// GUID bytes, folder creation and the case-blind file lookup of the redirection file. One
// implementation per system (TrackerPlatform_posix.cpp on Linux). All functions are safe from
// any thread.
#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace varnel::tracking::platform {

// "Linux": the "$os" property, the profile's "vn_os" and the platform word in the user agent.
std::string OsName();
// The distribution's name and version ("Debian GNU/Linux 12"), else the kernel release.
std::string OsVersion();
// Whether the machine runs a 64-bit system (a 64-bit process, or a 64-bit kernel).
bool Is64BitSystem();
// "Mozilla/5.0(" + name + " " + version + "; " + name + "64;)" ("32;)" on a 32-bit system).
std::string UserAgent(const std::string& osName, const std::string& osVersion, bool is64Bit);

// "Linux" for "vn_app_platform" and "LinuxCPP" for "vn_sdk".
std::string AppPlatform();
std::string SdkName();

// 16 random bytes from libuuid; false when none could be had.
bool CreateGuidBytes(std::array<std::uint8_t, 16>& bytes);

// Creates every missing folder of `folder` (mode 0700 for new ones, as for any per-user state).
// True when the whole chain exists as folders afterwards.
bool CreateFolderChain(const std::filesystem::path& folder);

// The regular file in `folder` whose name equals `name` without regard to ASCII case. An exact
// match wins; among several other matches the first in byte order. Nothing when none exists or
// the folder cannot be read.
std::optional<std::filesystem::path> FindFileNoCase(const std::filesystem::path& folder, const std::string& name);

// The running executable's folder (empty when it cannot be told) and $XDG_STATE_HOME.
std::filesystem::path ExecutableFolder();
std::filesystem::path LocalStateFolder();

}  // namespace varnel::tracking::platform
