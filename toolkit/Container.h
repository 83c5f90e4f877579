#pragma once
// A control holding child controls in document order. Owns its children. Subclasses decide
// where the children go (SetPos); the plain container gives every child its full inner
// rectangle.
#include <memory>
#include <vector>

#include "toolkit/Control.h"

namespace Toolkit {

class CContainerUI : public CControlUI {
public:
    CContainerUI() = default;
    ~CContainerUI() override;

    std::wstring_view GetClass() const override { return L"Container"; }
    int GetChildCount() const override { return GetCount(); }
    CControlUI* GetChildAt(int index) const override { return GetItemAt(index); }
    AccessibleRole GetAccessibleRole() const override { return AccessibleRole::Panel; }

    int GetCount() const { return static_cast<int>(items_.size()); }
    CControlUI* GetItemAt(int index) const;
    int GetItemIndex(const CControlUI* control) const;
    // Takes ownership; the child joins this window at once.
    bool Add(std::unique_ptr<CControlUI> control);
    virtual bool AddAt(std::unique_ptr<CControlUI> control, int index);
    // Destroys the child.
    bool Remove(CControlUI* control);
    void RemoveAll();

    const Rect& GetInset() const { return inset_; }
    int GetChildPadding() const { return childPadding_; }

    bool AddChild(std::unique_ptr<CControlUI>& child) override { return Add(std::move(child)); }
    void SetManager(CPaintManagerUI* manager, CControlUI* parent) override;
    CControlUI* FindFirst(const std::function<bool(CControlUI*)>& visit) override;
    CControlUI* FindAt(Point pt, bool mouseOnly) override;
    void SetPos(const Rect& rect) override;
    void SetAttribute(std::wstring_view name, std::wstring_view value) override;
    void DoPaint(cairo_t* cr, const Rect& dirty) override;

protected:
    // Places float children at their "pos" relative to this container.
    void PlaceFloatChild(CControlUI* child);

    std::vector<std::unique_ptr<CControlUI>> items_;
    Rect inset_;
    int childPadding_ = 0;
    int childAlign_ = 0;   // "childalign": 0 left, 1 center, 2 right
    int childVAlign_ = 0;  // "childvalign": 0 top, 1 vcenter, 2 bottom
};

}  // namespace Toolkit
