#pragma once
// Where the installer's stores live. On Linux these follow the XDG base directories (a
// variable that is unset, empty or not absolute is ignored, as the XDG rules say); on Windows
// they are the system's known folders, named beside each.
#include <filesystem>
#include <optional>

namespace Utils {

std::filesystem::path ExecutablePath();        // the running executable (Linux: links resolved)
std::filesystem::path HomeFolder();            // $HOME, else the password database; the profile folder
std::filesystem::path ConfigHome();            // $XDG_CONFIG_HOME or ~/.config; roaming AppData
std::filesystem::path DataHome();              // $XDG_DATA_HOME or ~/.local/share; roaming AppData
std::filesystem::path StateHome();             // $XDG_STATE_HOME or ~/.local/state; local AppData
std::optional<std::filesystem::path> AppDataFolder();  // $APPDATA when set and not empty
// The shared documents folder (Linux: DataHome(), which stands in for it).
std::filesystem::path CommonDocumentsFolder();
// Base of default install folders: /opt for root, else DataHome(); the 32-bit program files
// folder, else the program files folder.
std::filesystem::path ProgramFilesFolder();
// Base of the private temporary folder: $XDG_RUNTIME_DIR, else $TMPDIR, else /tmp; the user's
// temporary folder (GetTempPathW, with its trailing separator).
std::filesystem::path TempRoot();

}  // namespace Utils
