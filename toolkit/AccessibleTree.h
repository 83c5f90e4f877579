#pragma once
// Which controls assistive technology sees, shared by every platform's accessibility bridge so
// a screen reader walks the same tree everywhere.
//
// A control is one of three kinds to a screen reader:
// - exposed: it has an object of its own (everything a person can see or use: texts, buttons,
//   check boxes, fields, pictures, and containers that carry a name);
// - flattened: a container that only groups its children; its exposed descendants take its
//   place among its parent's children;
// - left out: a spacer, a plain control that draws nothing and does nothing.
// Hidden controls and everything below them are left out.
//
// Thread: the controls' user-interface thread.
#include <vector>

namespace Toolkit {

class CControlUI;

enum class AccessiblePresence { Exposed, Flattened, LeftOut };

AccessiblePresence PresenceOf(const CControlUI& control);

// The exposed controls directly below `control` in the accessible tree, in document order.
std::vector<CControlUI*> AccessibleChildren(const CControlUI& control);
// The exposed controls directly below the window: the root control when it is exposed, else
// its accessible children (none while the root is hidden).
std::vector<CControlUI*> AccessibleTopLevel(CControlUI* root);
// The nearest exposed ancestor of `control`, or null when the window itself is its parent.
CControlUI* AccessibleParent(const CControlUI& control);
// `control` when it is exposed, else its accessible parent (null: the window). For hit tests
// that land on a spacer or a grouping container.
CControlUI* NearestExposed(CControlUI* control);

}  // namespace Toolkit
