#pragma once
// Where the installer's stores live. On Linux these follow the XDG base directories; a
// variable that is unset, empty or not absolute is ignored, as the XDG rules say.
#include <filesystem>
#include <optional>

namespace Utils {

std::filesystem::path ExecutablePath();        // the running executable, links resolved
std::filesystem::path HomeFolder();            // $HOME, else the password database
std::filesystem::path ConfigHome();            // $XDG_CONFIG_HOME or ~/.config
std::filesystem::path DataHome();              // $XDG_DATA_HOME or ~/.local/share
std::filesystem::path StateHome();             // $XDG_STATE_HOME or ~/.local/state
std::optional<std::filesystem::path> AppDataFolder();  // $APPDATA when set and not empty
std::filesystem::path CommonDocumentsFolder();  // stands in for the shared documents folder
std::filesystem::path ProgramFilesFolder();     // /opt for root, else DataHome()
// Base of the private temporary folder: $XDG_RUNTIME_DIR, else $TMPDIR, else /tmp.
std::filesystem::path TempRoot();

}  // namespace Utils
