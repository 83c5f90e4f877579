#pragma once
// Notifications (control -> window code), input events (host -> control) and the window
// message numbers the window base and its subclasses exchange.
#include <cstdint>
#include <functional>
#include <string>

#include "toolkit/Geometry.h"

namespace Toolkit {

class CControlUI;

// A notification: the type name ("click", "selectchanged", "itemselect", "tabselect",
// "timer", "textchanged", "setfocus", "killfocus", or any name window code posts), the sender
// and two integers.
struct TNotifyUI {
    std::wstring type;
    CControlUI* sender = nullptr;
    std::intptr_t wParam = 0;
    std::intptr_t lParam = 0;
};

// Receives the notifications of one window, in registration order.
class INotifyUI {
public:
    virtual ~INotifyUI() = default;
    virtual void Notify(TNotifyUI& msg) = 0;
};

// A per-control delegate: runs before the window's receivers; returning false stops the
// remaining delegates of that control (the receivers still run).
using NotifyDelegate = std::function<bool(TNotifyUI&)>;

// Window messages. The numbers follow the Windows ones so window code reads familiarly.
inline constexpr std::uint32_t WM_CLOSE = 0x0010;
inline constexpr std::uint32_t WM_KEYDOWN = 0x0100;
inline constexpr std::uint32_t WM_CHAR = 0x0102;
inline constexpr std::uint32_t WM_SYSCOMMAND = 0x0112;
inline constexpr std::uint32_t WM_USER = 0x0400;

// System commands (WM_SYSCOMMAND wParam).
inline constexpr std::uintptr_t SC_MINIMIZE = 0xF020;
inline constexpr std::uintptr_t SC_MAXIMIZE = 0xF030;
inline constexpr std::uintptr_t SC_CLOSE = 0xF060;
inline constexpr std::uintptr_t SC_RESTORE = 0xF120;

// Key codes (WM_KEYDOWN wParam) for the keys the toolkit itself interprets; other keys carry
// their Unicode upper-case letter or digit, or 0. The numbers are the Windows virtual-key codes
// (window code reads familiarly), the names the toolkit's own: the Windows headers define
// VK_* and MOD_* as macros.
namespace Key {
inline constexpr std::uintptr_t Back = 0x08;
inline constexpr std::uintptr_t Tab = 0x09;
inline constexpr std::uintptr_t Return = 0x0D;
inline constexpr std::uintptr_t Escape = 0x1B;
inline constexpr std::uintptr_t Space = 0x20;
inline constexpr std::uintptr_t PageUp = 0x21;
inline constexpr std::uintptr_t PageDown = 0x22;
inline constexpr std::uintptr_t End = 0x23;
inline constexpr std::uintptr_t Home = 0x24;
inline constexpr std::uintptr_t Left = 0x25;
inline constexpr std::uintptr_t Up = 0x26;
inline constexpr std::uintptr_t Right = 0x27;
inline constexpr std::uintptr_t Down = 0x28;
inline constexpr std::uintptr_t F4 = 0x73;
}  // namespace Key

// Modifier bits of key and mouse events (the toolkit's own values, not the Windows MOD_* ones).
namespace Modifier {
inline constexpr std::uint32_t Shift = 1;
inline constexpr std::uint32_t Control = 2;
inline constexpr std::uint32_t Alt = 4;
}  // namespace Modifier

// Sees the window's messages before the toolkit; sets `handled` to swallow one (the installer
// swallows WM_KEYDOWN of Key::Escape this way).
class IMessageFilterUI {
public:
    virtual ~IMessageFilterUI() = default;
    virtual std::intptr_t MessageHandler(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam,
                                         bool& handled) = 0;
};

// Input events routed to one control.
enum class EventType {
    MouseEnter,
    MouseLeave,
    MouseMove,
    ButtonDown,
    ButtonUp,
    DoubleClick,
    KeyDown,
    SetFocus,
    KillFocus,
    Timer,
};

struct TEventUI {
    EventType type = EventType::MouseMove;
    CControlUI* sender = nullptr;
    Point pt;                  // client coordinates (mouse events)
    std::uintptr_t key = 0;    // virtual key (KeyDown), timer id (Timer)
    std::uint32_t modifiers = 0;
};

}  // namespace Toolkit
