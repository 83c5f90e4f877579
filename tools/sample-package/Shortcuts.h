#pragma once
// The sample product's shortcuts: the menu entry always, the desktop one when the installer
// asked for a desktop icon ("-dsc"). The package records what it wrote in a list file in the
// install folder; the uninstaller removes exactly the listed shortcuts that still lead to that
// folder's product, and nothing a user or another program put in their place.
//
// Linux: freedesktop entries (DesktopEntries.h). Windows: shell links (IShellLinkW) in the
// user's Start-menu programs folder and on the desktop; the variables QV_SAMPLE_PROGRAMS_DIR and
// QV_SAMPLE_DESKTOP_DIR, when set, name other folders for both (tests keep them out of the
// user's own).
#include <string>

namespace sample {

// Writes the shortcuts and their list; returns the list's file name inside the install folder
// (for the install manifest). Shortcuts that cannot be written are left out of the list.
std::string InstallShortcuts(const std::string& installFolder, bool desktopIcon);

// Removes the listed shortcuts that are still ours; returns how many were removed.
int RemoveShortcuts(const std::string& installFolder);

}  // namespace sample
