#pragma once
// The base of every control: name, position and size rules, padding, visibility, background
// and border, text and user data, custom attributes, notifications, timers and painting.
//
// Thread: every control belongs to the user-interface thread of its window.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "toolkit/Events.h"
#include "toolkit/Geometry.h"
#include "toolkit/Values.h"

typedef struct _cairo cairo_t;

namespace Toolkit {

class CPaintManagerUI;
class ITextPeer;

// What a control is to assistive technology (screen readers).
// A plain control is an Image when it draws something (a picture, colour or border) and a
// Filler (a spacer, see AccessibleTree.h) when it draws nothing.
enum class AccessibleRole { Filler, Panel, Label, PushButton, CheckBox, ComboBox, ProgressBar, TextEntry, PageTabList, Image };

// State bits of interactive controls.
inline constexpr std::uint32_t UISTATE_HOT = 1;
inline constexpr std::uint32_t UISTATE_PUSHED = 2;
inline constexpr std::uint32_t UISTATE_CAPTURED = 4;
inline constexpr std::uint32_t UISTATE_FOCUSED = 8;
inline constexpr std::uint32_t UISTATE_SELECTED = 16;

class CControlUI {
public:
    CControlUI();
    virtual ~CControlUI();
    CControlUI(const CControlUI&) = delete;
    CControlUI& operator=(const CControlUI&) = delete;

    // Class name as written in layouts ("Control", "Button", ...).
    virtual std::wstring_view GetClass() const { return L"Control"; }
    // True when the mouse over this control may drag the window inside the caption area:
    // plain controls, texts, labels and layout containers, by class name (a subclass of a
    // label with its own class name is not passive).
    bool IsCaptionPassive() const;

    const std::wstring& GetName() const { return name_; }
    void SetName(const std::wstring& name) { name_ = name; }

    // ---- tree ----
    CControlUI* GetParent() const { return parent_; }
    CPaintManagerUI* GetManager() const { return manager_; }
    virtual void SetManager(CPaintManagerUI* manager, CControlUI* parent);
    // Called once after the whole tree is built and attached.
    virtual void DoInit() {}
    // Takes a child element built from a layout; false (and `child` left alone) when this
    // control holds no such children.
    virtual bool AddChild(std::unique_ptr<CControlUI>& child) {
        (void)child;
        return false;
    }
    // Children for assistive technology, in document order (layout containers have them).
    virtual int GetChildCount() const { return 0; }
    virtual CControlUI* GetChildAt(int index) const {
        (void)index;
        return nullptr;
    }
    // ---- accessibility ----
    virtual AccessibleRole GetAccessibleRole() const {
        return DrawsBackground() ? AccessibleRole::Image : AccessibleRole::Filler;
    }
    // What a screen reader says: the text shown (after the text lookup), else the tooltip as
    // shown (buttons that show only a picture).
    virtual std::wstring GetAccessibleName() const {
        std::wstring text = GetDisplayText();
        return text.empty() ? GetDisplayToolTip() : text;
    }
    // A check box that is ticked.
    virtual bool IsChecked() const { return false; }
    // A control showing a value in a range (a progress bar): true with the three numbers.
    virtual bool GetAccessibleValue(double& minimum, double& maximum, double& current) const {
        (void)minimum, (void)maximum, (void)current;
        return false;
    }
    // The control has a "click" action (what a mouse click does).
    virtual bool HasClickAction() const { return false; }
    // The native text field this control wants over it, or null (see NativePeer.h).
    virtual ITextPeer* TextPeer() { return nullptr; }
    // Depth-first visit of this control and its descendants; stops when `visit` returns true.
    virtual CControlUI* FindFirst(const std::function<bool(CControlUI*)>& visit);
    // The deepest visible control containing `pt`, optionally only mouse-enabled ones.
    virtual CControlUI* FindAt(Point pt, bool mouseOnly);

    // ---- position and size ----
    const Rect& GetPos() const { return rect_; }
    virtual void SetPos(const Rect& rect);
    int GetFixedWidth() const { return fixedWidth_; }
    int GetFixedHeight() const { return fixedHeight_; }
    void SetFixedWidth(int width);
    void SetFixedHeight(int height);
    int GetMinWidth() const { return minWidth_; }
    int GetMaxWidth() const { return maxWidth_; }
    int GetMinHeight() const { return minHeight_; }
    int GetMaxHeight() const { return maxHeight_; }
    void SetMinWidth(int v);
    void SetMaxWidth(int v);
    void SetMinHeight(int v);
    void SetMaxHeight(int v);
    const Rect& GetPadding() const { return padding_; }
    void SetPadding(const Rect& padding);
    // The size a container should reserve: the fixed width and height (0 = flexible).
    virtual Size EstimateSize(Size available);
    // "float" controls are placed at "pos" relative to their container, outside the flow.
    bool IsFloat() const { return float_; }
    const Rect& GetFloatPos() const { return floatPos_; }

    // ---- state ----
    bool IsVisible() const { return visible_; }
    // Visible and every ancestor visible.
    bool IsReallyVisible() const;
    virtual void SetVisible(bool visible);
    bool IsEnabled() const { return enabled_; }
    virtual void SetEnabled(bool enabled);
    bool IsMouseEnabled() const { return mouseEnabled_; }
    void SetMouseEnabled(bool enabled) { mouseEnabled_ = enabled; }
    // Takes part in Tab navigation (buttons, check boxes, lists, edits; "keyboard" attribute).
    virtual bool IsFocusable() const { return false; }
    bool IsKeyboardEnabled() const { return keyboardEnabled_; }
    bool IsFocused() const;
    void SetFocus();

    // ---- text and data ----
    const std::wstring& GetText() const { return text_; }
    virtual void SetText(const std::wstring& text);
    // The text as shown: with "resourcetext" the text is an id looked up at the moment of use.
    std::wstring GetDisplayText() const;
    bool IsResourceText() const { return resourceText_; }
    void SetResourceText(bool on);
    const std::wstring& GetUserData() const { return userData_; }
    void SetUserData(const std::wstring& data) { userData_ = data; }
    const std::wstring& GetToolTip() const { return toolTip_; }
    // The tooltip as shown: with "resourcetext" it is a text id too, looked up at the moment of
    // use (so it follows a language switch like the text does).
    std::wstring GetDisplayToolTip() const;

    // ---- appearance ----
    Color GetBkColor() const { return bkColor_; }
    void SetBkColor(Color color);
    const std::wstring& GetBkImage() const { return bkImageText_; }
    void SetBkImage(const std::wstring& descriptor);
    void SetBorderColor(Color color);
    void SetBorderSize(int size);
    Size GetBorderRound() const { return borderRound_; }
    // Something of the base appearance shows: a background image, an opaque or translucent
    // background colour, or a border.
    bool DrawsBackground() const;

    // ---- attributes ----
    // Applies one layout attribute. Names are compared without case ("childalign" and
    // "childvalign" exactly); an unknown name is kept as a custom attribute.
    virtual void SetAttribute(std::wstring_view name, std::wstring_view value);
    // Applies one attribute and says whether some class of this control knew its name (an
    // unknown one is still kept as a custom attribute; the layout reader reports it).
    bool ApplyAttribute(std::wstring_view name, std::wstring_view value);
    // Applies a list written as name="value" name2='value2' ... in order.
    void ApplyAttributeList(std::wstring_view list);
    void SetCustomAttribute(const std::wstring& name, const std::wstring& value);
    // Null when absent.
    const std::wstring* GetCustomAttribute(const std::wstring& name) const;

    // ---- notifications ----
    void AddNotifyDelegate(NotifyDelegate delegate) { delegates_.push_back(std::move(delegate)); }
    // Runs this control's delegates in order (used by the paint manager).
    void RunDelegates(TNotifyUI& msg);
    // Sends a notification from this control through its window (no-op without one).
    void Notify(const std::wstring& type, std::intptr_t wParam = 0, std::intptr_t lParam = 0, bool async = false);

    // ---- events and activation ----
    virtual void DoEvent(TEventUI& event);
    // The control's action (click); false when it is hidden or disabled.
    virtual bool Activate();
    std::uint32_t GetState() const { return state_; }
    // Draws the control in the given state bits from now on (skin previews).
    void ForceState(std::uint32_t state) { state_ = state; Invalidate(); }

    // ---- timers (through the window's scheduler) ----
    bool SetTimer(std::uintptr_t id, unsigned periodMs);
    void KillTimer(std::uintptr_t id);

    // ---- painting ----
    virtual void DoPaint(cairo_t* cr, const Rect& dirty);
    // Adds the image attribute values the next paint draws in the present state (a window
    // decodes them ahead of its first frame).
    virtual void CollectShownImages(std::vector<std::wstring>& descriptors) const;
    void Invalidate();
    // Layout must be recomputed (size, visibility or content changed).
    void NeedUpdate();

protected:
    virtual void PaintBkColor(cairo_t* cr);
    virtual void PaintBkImage(cairo_t* cr);
    virtual void PaintStatusImage(cairo_t* cr) { (void)cr; }
    virtual void PaintText(cairo_t* cr) { (void)cr; }
    virtual void PaintBorder(cairo_t* cr);
    // Draws an image attribute value (cached parse) inside this control; false if nothing drawn.
    bool DrawImage(cairo_t* cr, const std::wstring& descriptor);
    bool DrawImage(cairo_t* cr, const std::wstring& descriptor, const Rect& rect);

    CPaintManagerUI* manager_ = nullptr;
    CControlUI* parent_ = nullptr;
    Rect rect_;
    std::uint32_t state_ = 0;

private:
    std::wstring name_;
    int fixedWidth_ = 0, fixedHeight_ = 0;
    int minWidth_ = 0, minHeight_ = 0;
    int maxWidth_ = 9999, maxHeight_ = 9999;
    Rect padding_;
    bool float_ = false;
    Rect floatPos_;
    bool visible_ = true;
    bool enabled_ = true;
    bool mouseEnabled_ = true;
    bool keyboardEnabled_ = true;
    std::wstring text_;
    bool resourceText_ = false;
    std::wstring userData_;
    std::wstring toolTip_;
    Color bkColor_ = 0;
    std::wstring bkImageText_;
    Color borderColor_ = 0;
    int borderSize_ = 0;
    Rect sideBorders_;
    bool hasSideBorders_ = false;
    Size borderRound_;
    std::map<std::wstring, std::wstring> custom_;
    bool unknownAttribute_ = false;  // the last attribute fell through to the custom ones
    std::vector<NotifyDelegate> delegates_;
    std::map<std::wstring, ImageDescriptor> parsedImages_;  // descriptor text -> parsed form
};

}  // namespace Toolkit
