#include "toolkit/AccessibleTree.h"

#include "toolkit/Control.h"

namespace Toolkit {
namespace {

bool IsInteractive(const CControlUI& control) { return control.IsFocusable() || control.HasClickAction(); }

void CollectExposed(const CControlUI& parent, std::vector<CControlUI*>& out) {
    for (int i = 0; i < parent.GetChildCount(); ++i) {
        CControlUI* child = parent.GetChildAt(i);
        if (!child || !child->IsVisible()) continue;
        switch (PresenceOf(*child)) {
            case AccessiblePresence::Exposed: out.push_back(child); break;
            case AccessiblePresence::Flattened: CollectExposed(*child, out); break;
            case AccessiblePresence::LeftOut: break;
        }
    }
}

}  // namespace

AccessiblePresence PresenceOf(const CControlUI& control) {
    const AccessibleRole role = control.GetAccessibleRole();
    if (role != AccessibleRole::Panel && role != AccessibleRole::Filler) return AccessiblePresence::Exposed;
    if (IsInteractive(control)) return AccessiblePresence::Exposed;
    // A named group is a landmark a reader announces; an unnamed one is only layout.
    if (control.GetChildCount() > 0 || role == AccessibleRole::Panel)
        return control.GetAccessibleName().empty() ? AccessiblePresence::Flattened : AccessiblePresence::Exposed;
    // A leaf filler draws nothing (a plain control that draws is a picture, see Control.h).
    return AccessiblePresence::LeftOut;
}

std::vector<CControlUI*> AccessibleChildren(const CControlUI& control) {
    std::vector<CControlUI*> out;
    CollectExposed(control, out);
    return out;
}

std::vector<CControlUI*> AccessibleTopLevel(CControlUI* root) {
    if (!root || !root->IsVisible()) return {};
    switch (PresenceOf(*root)) {
        case AccessiblePresence::Exposed: return {root};
        case AccessiblePresence::Flattened: return AccessibleChildren(*root);
        case AccessiblePresence::LeftOut: break;
    }
    return {};
}

CControlUI* AccessibleParent(const CControlUI& control) {
    for (CControlUI* p = control.GetParent(); p; p = p->GetParent())
        if (PresenceOf(*p) == AccessiblePresence::Exposed) return p;
    return nullptr;
}

CControlUI* NearestExposed(CControlUI* control) {
    if (!control || PresenceOf(*control) == AccessiblePresence::Exposed) return control;
    return AccessibleParent(*control);
}

}  // namespace Toolkit
