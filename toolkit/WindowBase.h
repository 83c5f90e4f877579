#pragma once
// The skinned window base: a native top-level window whose whole client area is drawn by the
// toolkit from one layout. It builds the layout on creation (a layout that cannot be built
// tells the user and ends the process with exit code 1), delivers notifications to the
// subclass, runs the default click handling and system commands, centres the window, closes
// it with a result and runs it modally.
//
// Result rules of the modal run: a close request (Close(result), which posts WM_CLOSE with the
// result) ends the run with that result; a close command (Alt+F4, the window manager's close
// button: WM_CLOSE sent directly) ends it with 0.
//
// Thread: the user-interface thread (the one that creates the window), except PostMessage(),
// Close() and the asynchronous notifications, which any thread may use. Debug and sanitizer
// builds stop the process when another thread creates, shows, runs, sends to or refreshes it.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/ControlFactory.h"
#include "toolkit/Events.h"
#include "toolkit/PaintManager.h"
#include "toolkit/Platform.h"
#include "toolkit/ThreadCheck.h"

namespace Toolkit {

// Window style bits the installer's windows adjust (kept for the subclasses' sake; on Linux
// only WS_EX_TOPMOST has an effect: keep-above).
inline constexpr std::uint32_t WS_MAXIMIZEBOX = 0x00010000;
inline constexpr std::uint32_t WS_MINIMIZEBOX = 0x00020000;
inline constexpr std::uint32_t WS_THICKFRAME = 0x00040000;
inline constexpr std::uint32_t WS_SYSMENU = 0x00080000;
inline constexpr std::uint32_t WS_CAPTION = 0x00C00000;
inline constexpr std::uint32_t WS_CLIPCHILDREN = 0x02000000;
inline constexpr std::uint32_t WS_CLIPSIBLINGS = 0x04000000;
inline constexpr std::uint32_t WS_VISIBLE = 0x10000000;
inline constexpr std::uint32_t WS_OVERLAPPEDWINDOW = 0x00CF0000;
inline constexpr std::uint32_t WS_EX_TOPMOST = 0x00000008;

// Centring: the window's centre over the reference's centre, then moved inside the work area
// (sticking out right or bottom moves it left or up; left and top stop at the work area's
// edge). Returns the new top-left corner.
Point CenterInWorkArea(const Rect& window, const Rect& reference, const Rect& workArea);

class CWindowBase : public INotifyUI, public IMessageFilterUI, public IControlFactory {
public:
    CWindowBase();
    ~CWindowBase() override;
    CWindowBase(const CWindowBase&) = delete;
    CWindowBase& operator=(const CWindowBase&) = delete;

    // ---- from the subclass ----
    virtual std::wstring GetWindowClassName() const = 0;
    virtual std::wstring GetSkinFile() = 0;
    virtual std::wstring GetSkinFolder() { return L""; }
    // A resource type other than empty names layouts kept outside the skin files; on this
    // platform they are looked up in the skin resources all the same.
    virtual std::wstring GetResourceType() const { return L""; }
    // Called once the layout is attached.
    virtual void InitWindow() {}
    // Called after the native window is gone.
    virtual void OnFinalMessage() {}

    // ---- creation and life ----
    // Creates the native window and builds the layout. `width`/`height` of 0 take the
    // layout's "size". On a layout failure the process ends (exit code 1).
    bool Create(CWindowBase* owner, const std::wstring& title, std::uint32_t style = WS_VISIBLE | WS_OVERLAPPEDWINDOW,
                std::uint32_t exStyle = 0, int x = -1, int y = -1, int width = 0, int height = 0);
    bool IsWindow() const { return alive_; }
    void ShowWindow(bool show = true, bool activate = true);
    // Close request: posts WM_CLOSE with `result` while the window exists; nothing otherwise.
    void Close(int result = 1);
    // Runs the modal loop and returns the result of the close request that ended it (0 when
    // the window was closed without one).
    int ShowModal();
    void CenterWindow();
    CWindowBase* GetOwner() const { return owner_; }
    INativeWindow* Native() const { return native_.get(); }
    CPaintManagerUI& PaintManager() { return manager_; }
    CControlUI* FindControl(const std::wstring& name) const { return manager_.FindControl(name); }

    std::uint32_t GetStyle() const { return style_; }
    void SetStyle(std::uint32_t style) { style_ = style; }
    std::uint32_t GetExStyle() const { return exStyle_; }
    void SetExStyle(std::uint32_t exStyle);

    // ---- messages ----
    // Synchronous: straight to HandleMessage.
    std::intptr_t SendMessage(std::uint32_t msg, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);
    // Asynchronous from any thread: delivered through the message filters, then HandleMessage.
    // A message for a window that is gone by then is dropped.
    void PostMessage(std::uint32_t msg, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);
    // The window procedure. WM_CLOSE destroys the window, WM_SYSCOMMAND runs system commands,
    // messages from WM_USER on go to HandleCustomMessage.
    virtual std::intptr_t HandleMessage(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam);
    virtual std::intptr_t HandleCustomMessage(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam,
                                              bool& handled);

    // ---- notifications ----
    // Every notification of the window: the message map (by type), then "click" to OnClick.
    void Notify(TNotifyUI& msg) override;
    // Default click handling by sender name: "closebtn" close request 1, "minbtn" minimise,
    // "maxbtn" maximise, "restorebtn" restore.
    virtual void OnClick(TNotifyUI& msg);
    // Routes a notification type to a handler instead of the default dispatch.
    void MapNotify(const std::wstring& type, std::function<void(TNotifyUI&)> handler);
    void SendNotify(CControlUI* sender, const std::wstring& type, std::intptr_t wParam = 0, std::intptr_t lParam = 0,
                    bool async = false);

    // ---- message filter and factory defaults ----
    std::intptr_t MessageHandler(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam, bool& handled) override;
    std::unique_ptr<CControlUI> CreateControl(const std::wstring& name) override;

    // A quit request ends every modal loop (outer ones too) until TakeQuit() consumes it.
    static void PostQuit(int code);
    static bool QuitPending();
    static int TakeQuit();

    // The host reports that the native window is gone (destroyed by the system).
    void OnNativeDestroyed();
    // The host reports that the window manager maximised or restored the window; "maxbtn"
    // and "restorebtn" follow (maximising is asynchronous, so this is the only reliable time).
    void OnMaximizedChanged(bool maximized);

    // ---- open windows and skin refresh ----
    // Every window created and not yet destroyed, in order of creation.
    static std::vector<CWindowBase*> OpenWindows();
    // Reloads the window's images, lays it out again, repaints it, and applies the style
    // rules again: a control named "msgbtn" whose custom attribute "style" names a style this
    // window knows gets that style once more (texts and images of a new language).
    virtual void RefreshSkin();
    // RefreshSkin on every open window, newest first (a box drawn over its owner is done
    // before the owner).
    static void RefreshAllWindows();

protected:
    // System commands (WM_SYSCOMMAND): SC_CLOSE sends WM_CLOSE; the others run the native
    // action and then show "maxbtn" or "restorebtn" to match the maximised state.
    virtual std::intptr_t OnSysCommand(std::uintptr_t command);
    void DestroyWindow();

private:
    struct Token;
    void DispatchPosted(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam);
    void MarkClosed();

    ThreadCheck thread_;
    CPaintManagerUI manager_;
    std::unique_ptr<INativeWindow> native_;
    CWindowBase* owner_ = nullptr;
    std::shared_ptr<Token> token_;
    bool alive_ = false;
    bool inModal_ = false;
    int modalResult_ = 0;
    std::uint32_t style_ = 0;
    std::uint32_t exStyle_ = 0;
    std::map<std::wstring, std::function<void(TNotifyUI&)>> notifyMap_;
};

}  // namespace Toolkit
