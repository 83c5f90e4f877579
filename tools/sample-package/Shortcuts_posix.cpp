#include "tools/sample-package/Shortcuts.h"

#include "tools/sample-package/DesktopEntries.h"

namespace sample {

std::string InstallShortcuts(const std::string& installFolder, bool desktopIcon) {
    WriteDesktopEntries(installFolder, desktopIcon);
    return kEntryListName;
}

int RemoveShortcuts(const std::string& installFolder) { return RemoveDesktopEntries(installFolder); }

}  // namespace sample
