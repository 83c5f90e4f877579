#pragma once
// Helpers for the installer's window tests on a private Xvfb: pumping the main loop, xdotool,
// screenshots, the close message a window manager sends, and the test skin's texts.
#include <functional>
#include <memory>
#include <string>

namespace Toolkit {
class CWindowBase;
class CControlUI;
}  // namespace Toolkit

namespace WindowTest {

// Starts Xvfb, the GTK host, the test skin (tests/ui/windows/data/skin) and its texts.
void SetUpDisplay();
void TearDownDisplay();

bool PumpUntil(const std::function<bool()>& done, int ms = 5000);
void Pump(int ms);
// Runs `action` from the main loop once `ready` holds (checked every 50 ms), so that a modal
// loop started after this call can be driven. Returns a flag that turns true once it ran.
std::shared_ptr<bool> When(std::function<bool()> ready, std::function<void()> action);

bool Xdo(const std::string& args);
void Screenshot(const std::string& name);
// Screen point at the centre of a control, as "x y".
std::string At(Toolkit::CWindowBase& window, const std::wstring& control);
bool Mapped(Toolkit::CWindowBase& window);
void Click(Toolkit::CWindowBase& window, const std::wstring& control);
// Focuses the window and presses a key combination ("alt+F4", "Escape").
void Key(Toolkit::CWindowBase& window, const std::string& keys);
// The window manager's close: WM_DELETE_WINDOW to the window.
void SendWmDelete(Toolkit::CWindowBase& window);

// A top-level window of this title is shown; clicks at a point measured from its bottom-right
// corner (for boxes whose objects the test cannot reach).
bool BoxOnScreen(const std::wstring& title);
// Answers the next box of this title: once it has been on screen for a moment, `first` runs
// once, then `click` runs every 400 ms while the box stays (a click that came before the box
// could take it is repeated). The flag turns true when `first` has run.
std::shared_ptr<bool> AnswerBox(const std::wstring& title, std::function<void()> click,
                                std::function<void()> first = {});
void ClickInBox(const std::wstring& title, int fromRight, int fromBottom);
// Clicks the cross of a test box (24 by 24 at the right end of its 30-pixel title row).
void CloseBox(const std::wstring& title);


// The texts: en-US by default; zh-TW after UseChineseTexts(true).
void UseChineseTexts(bool on);

}  // namespace WindowTest
