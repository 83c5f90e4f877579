#include "ui/windows/MainWndRules.h"

#include <cwchar>

#include "install/InstallFiles.h"
#include "install/InstalledCopy.h"

namespace MainWndRules {

int TitlePageFor(int mainPage) {
    switch (mainPage) {
        case kDefaultPage:
        case kCustomPage: return 1;
        case kProgressPage: return -1;
        case kFinishPage: return 2;
        default: return 0;
    }
}

std::wstring CustomFolderFor(const std::wstring& fieldText, const std::wstring& defaultFolder) {
    if (InstalledCopy::SameFolder(defaultFolder, fieldText)) return defaultFolder;
    return InstallFiles::JoinPath(fieldText, L"Pelmora");
}

std::wstring ProductExeIn(const std::wstring& installFolder) {
    return InstallFiles::JoinPath(installFolder, kProductExeName);
}

std::wstring ProgressText(const std::wstring& templateText, int percent) {
    // The template comes from the skin: only one integer conversion may reach swprintf, so a
    // broken text can never read arguments that are not there.
    int conversions = 0;
    for (size_t i = 0; i < templateText.size(); ++i) {
        if (templateText[i] != L'%') continue;
        if (i + 1 < templateText.size() && templateText[i + 1] == L'%') {
            ++i;
            continue;
        }
        if (i + 1 < templateText.size() && templateText[i + 1] == L'd') {
            ++conversions;
            ++i;
            continue;
        }
        return templateText.substr(0, 249);
    }
    if (conversions > 1) return templateText.substr(0, 249);
    wchar_t text[250];
    if (std::swprintf(text, 250, templateText.c_str(), percent) < 0) return templateText.substr(0, 249);
    return text;
}

}  // namespace MainWndRules
