#pragma once
// The sample product's freedesktop entries: the menu entry (always) and a copy on the desktop
// (when the installer asked for a desktop icon). The package writes them and lists their paths
// in "desktop.entries" in the install folder; the uninstaller removes exactly those that still
// are our entries for that folder.
//
// Folders: the menu entry goes to $XDG_DATA_HOME/applications (else ~/.local/share/applications,
// or /usr/local/share/applications for root); the desktop is XDG_DESKTOP_DIR from
// $XDG_CONFIG_HOME/user-dirs.dirs (else ~/Desktop), as xdg-user-dir resolves it.
#include <string>
#include <vector>

namespace sample {

inline constexpr char kEntryFileName[] = "quorvex-compressor.desktop";
inline constexpr char kEntryListName[] = "desktop.entries";

std::string MenuEntryFolder();
std::string DesktopFolder();

// The entry's text for a product installed in `installFolder` (Exec quoted and escaped by the
// desktop-entry rules). Empty when the folder cannot be written into an entry (a line break).
std::string DesktopEntryText(const std::string& installFolder);

// Writes the menu entry, and the desktop copy when `desktopIcon`, then "desktop.entries".
// Returns the paths written (those that failed are left out).
std::vector<std::string> WriteDesktopEntries(const std::string& installFolder, bool desktopIcon);

// Removes the entries listed in the folder's "desktop.entries" that are regular files naming
// this folder; returns how many were removed.
int RemoveDesktopEntries(const std::string& installFolder);

}  // namespace sample
