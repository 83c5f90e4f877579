#pragma once
// Drives a real installer window from outside, the way a person would: finds it on the X display
// by its title, clicks at a control's centre computed from the built-in skin's own layout, types
// with xdotool and keeps screenshots. Serves the Linux executable and the Windows one under wine,
// whose windows the same skin and layout code places alike.
//
// Helper programs (xdotool, import) run directly with their arguments, never through a shell, so
// typed folder names need no quoting. The skin package must be open (Skin::OpenSkinPackage).
#include <cstdint>
#include <string>
#include <vector>

namespace clicktest {

// A control's centre inside its window's client area, with the size the layout gives that area.
struct LayoutPoint {
    int x = 0, y = 0;
    int width = 0, height = 0;
};
// Lays `layout` out at its initial size with the skin's current language, `page` selected on
// "mainTabLt", and returns where `control` sits (a failed expectation when it is missing).
LayoutPoint ControlCentre(const wchar_t* layout, const wchar_t* control, int page = 0);

// Runs a program with the test's environment and returns its standard output; `exitCode`
// receives its exit status (-1 when it could not start or did not exit normally).
std::string RunProgram(const std::vector<std::string>& argv, int* exitCode = nullptr);
bool Xdo(const std::vector<std::string>& args);

// Saves the whole display as $QV_SCREENSHOT_DIR/NAME.png and returns that path; nothing (an
// empty path) when the variable is unset.
std::string Screenshot(const std::string& name);

// A visible top-level X window: its id and its place on the screen. id 0: none found.
struct Found {
    unsigned long id = 0;
    int x = 0, y = 0;
    int width = 0, height = 0;
};
// Waits up to `seconds` for a visible window titled exactly `title`; with `pid` non-zero, one
// of that process only (wine names each window's process in _NET_WM_PID).
Found WaitForWindow(const std::string& title, double seconds = 15, std::int64_t pid = 0);
// The window's current place (the same id); id 0 when it is gone.
Found Locate(unsigned long id);

// Clicks at `point` of `window`. A window drawn with its shadow inside the X window (wine's
// layered windows) is wider than its layout by the shadow on each side, and its client area
// starts that far in from the left and the top.
void ClickAt(const Found& window, LayoutPoint point);

}  // namespace clicktest
