#pragma once
// One skinned window on GTK 3: an undecorated top-level drawn entirely by the toolkit. With a
// compositor it uses an RGBA visual, cuts the window to its rounded outline with anti-aliased
// edges and draws the drop shadow in a transparent margin that lets clicks through; without
// one it is opaque and cut to its outline with a shape region. It turns GDK input into
// toolkit input, drags the window by its caption, keeps a GtkEntry over every visible control
// that asks for a native text field (ITextPeer) and shows the pop-up lists controls ask for.
//
// Thread: the GTK main thread.
#include <gtk/gtk.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/GtkAccessible_gtk.h"
#include "toolkit/GtkTextFields_gtk.h"
#include "toolkit/PaintManager.h"
#include "toolkit/Platform.h"
#include "toolkit/WindowPainter.h"

namespace Toolkit {

class CWindowBase;
class GtkPopupList;
class ITextPeer;

class GtkWindowHost : public INativeWindow, public IWindowHost {
public:
    GtkWindowHost(CWindowBase& window, CWindowBase* owner, const std::wstring& title, int width, int height);
    ~GtkWindowHost() override;

    // INativeWindow
    void Show(bool show, bool activate) override;
    void Destroy() override;
    void SetSensitive(bool sensitive) override;
    void Focus() override;
    void Minimize() override;
    void Maximize() override;
    void Restore() override;
    bool IsMaximized() const override { return maximized_; }
    Rect GetRect() const override;
    void Move(int x, int y) override;
    void Resize(int width, int height) override;
    Rect GetWorkArea() const override;
    void SetKeepAbove(bool above) override;
    void SetIconImages(const std::vector<std::vector<unsigned char>>& pngFiles) override;

    // IWindowHost
    void InvalidateRect(const Rect& rect) override;
    void LayoutChanged() override;
    void FocusChanged(CControlUI* control) override;
    bool ShowPopup(CControlUI* owner, IPopupList* list) override;
    void PeerChanged(CControlUI* control) override;
    void ControlRemoved(CControlUI* control) override;

    GtkWidget* Widget() const { return window_; }
    CPaintManagerUI& Manager() const { return manager_; }
    AccessibleControls& Accessibles() { return accessibles_; }
    int Margin() const { return margin_; }
    bool IsComposited() const { return composited_; }
    // Screen rectangle of a control.
    Rect ScreenRectOf(const Rect& client) const;

private:
    static gboolean OnDraw(GtkWidget*, cairo_t* cr, gpointer self);
    static gboolean OnButtonPress(GtkWidget*, GdkEventButton* e, gpointer self);
    static gboolean OnButtonRelease(GtkWidget*, GdkEventButton* e, gpointer self);
    static gboolean OnMotion(GtkWidget*, GdkEventMotion* e, gpointer self);
    static gboolean OnLeave(GtkWidget*, GdkEventCrossing* e, gpointer self);
    static gboolean OnKeyPress(GtkWidget*, GdkEventKey* e, gpointer self);
    static gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer self);
    static void OnDestroy(GtkWidget*, gpointer self);
    static gboolean OnWindowState(GtkWidget*, GdkEventWindowState* e, gpointer self);
    static void OnRealize(GtkWidget*, gpointer self);
    static void OnScaleChanged(GObject*, GParamSpec*, gpointer self);

    void UpdateShape();
    Point ToClient(double x, double y) const;

    CWindowBase& owner_window_;
    CPaintManagerUI& manager_;
    GtkWidget* window_ = nullptr;
    GtkWidget* fixed_ = nullptr;
    int margin_ = 0;
    bool composited_ = false;
    bool maximized_ = false;
    bool destroyed_ = false;
    Size client_;
    Point position_{-1, -1};
    CWindowPainter painter_;
    std::unique_ptr<GtkTextFields> fields_;  // made with the window's GtkFixed
    AccessibleControls accessibles_{*this};
    CControlUI* focus_ = nullptr;  // the focus last reported, for screen readers
    std::unique_ptr<GtkPopupList> popup_;
};

}  // namespace Toolkit
