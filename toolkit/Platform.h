#pragma once
// What the window base needs from a windowing system. The GTK host implements it for real
// windows; tests install a scripted one. Everything here runs on the user-interface thread.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/Geometry.h"
#include "toolkit/Scheduler.h"

namespace Toolkit {

class CWindowBase;

// One native top-level window. Rectangles are the client area in screen coordinates (a drop
// shadow margin around it is the host's business).
class INativeWindow {
public:
    virtual ~INativeWindow() = default;
    virtual void Show(bool show, bool activate) = 0;
    // Destroys the native window; the object stays valid (and inert) until deleted.
    virtual void Destroy() = 0;
    virtual void SetSensitive(bool sensitive) = 0;
    virtual void Focus() = 0;
    virtual void Minimize() = 0;
    virtual void Maximize() = 0;
    virtual void Restore() = 0;
    virtual bool IsMaximized() const = 0;
    virtual Rect GetRect() const = 0;
    virtual void Move(int x, int y) = 0;
    virtual void Resize(int width, int height) = 0;
    // Work area of the monitor nearest to this window.
    virtual Rect GetWorkArea() const = 0;
    virtual void SetKeepAbove(bool above) = 0;
    // The window's icon from PNG files of one picture at several sizes (1x and 2x).
    virtual void SetIconImages(const std::vector<std::vector<unsigned char>>& pngFiles) { (void)pngFiles; }
};

class IPlatform {
public:
    virtual ~IPlatform() = default;
    // A native window for `window`, owned by `owner` (may be null), of the given client size.
    virtual std::unique_ptr<INativeWindow> CreateNativeWindow(CWindowBase& window, CWindowBase* owner,
                                                              const std::wstring& title, int width, int height) = 0;
    virtual IScheduler& Scheduler() = 0;
    // Dispatches events until `keepRunning` returns false (checked after every event).
    virtual void RunLoop(const std::function<bool()>& keepRunning) = 0;
    // The layout of a window cannot be built: tell the user (a message box, or standard error
    // without a display).
    virtual void ReportLoadFailure(const std::wstring& text, const std::wstring& caption) = 0;
    // Ends the process (the real host calls exit).
    virtual void ExitProcess(int code) = 0;
    // Pixels per window unit a new window will most likely get (images are readied for it).
    virtual int ScreenScale() const { return 1; }
};

// The platform windows are created on; null until a host is installed.
IPlatform* GetPlatform();
void SetPlatform(IPlatform* platform);

}  // namespace Toolkit
