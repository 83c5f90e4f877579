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

// Starts Xvfb, the GTK host and the built-in skin in en-US.
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
void PressKeys(Toolkit::CWindowBase& window, const std::string& keys);
// The window manager's close: WM_DELETE_WINDOW to the window.
void SendWmDelete(Toolkit::CWindowBase& window);

// The newest open message box (of this layout when given), or null.
Toolkit::CWindowBase* TopBox(const std::wstring& layout = L"");
// Answers the next message box: once it has been on screen for a moment, `first` runs once
// (with the box), then the control `control` is clicked every 400 ms while the box stays (a
// click that came before the box could take it is repeated). The flag turns true when
// `first` has run. With `layout`, only a box of that layout is answered, so several answers
// can wait for boxes that come one after the other.
std::shared_ptr<bool> AnswerBox(const std::wstring& control,
                                std::function<void(Toolkit::CWindowBase&)> first = {},
                                const std::wstring& layout = L"");

// Answers the next folder chooser once it shows: with `folder` chosen (accept) or cancelled.
void AnswerFolderChooser(const std::string& folder, bool accept);
bool FolderChooserOpen();

}  // namespace WindowTest
