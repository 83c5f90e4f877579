#pragma once
// The main window's decisions that depend on nothing but their inputs, kept apart so they can
// be checked without a window.
#include <string>

namespace MainWndRules {

// Main pages of "mainTabLt".
inline constexpr int kDefaultPage = 0;
inline constexpr int kCustomPage = 1;
inline constexpr int kProgressPage = 2;
inline constexpr int kFinishPage = 3;

// Whether the window may close on a close command (Alt+F4, the window manager's close, a close
// request): never while an installation runs.
inline bool AcceptsClose(int page) { return page != kProgressPage; }

// The close button closes at once on the finish page and asks everywhere else.
inline bool CloseButtonAsks(int page) { return page != kFinishPage; }

// The title row's page for a main page, or -1 to leave it as it is.
int TitlePageFor(int mainPage);

// The folder a custom install uses: the proposed default unchanged when the field still names
// it, otherwise the field's folder with the product's own "Pelmora" sub-folder.
std::wstring CustomFolderFor(const std::wstring& fieldText, const std::wstring& defaultFolder);

// The product's executable in an installed copy's folder, joined with the system's separator.
std::wstring ProductExeIn(const std::wstring& installFolder);

// The progress text: `templateText` ("Installing:%d%%") formatted with `percent`, at most 249
// characters. A template with any other conversion than one %d (and %%) is shown as it is.
std::wstring ProgressText(const std::wstring& templateText, int percent);

}  // namespace MainWndRules
