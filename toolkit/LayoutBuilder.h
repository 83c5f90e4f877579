#pragma once
// Builds control trees from layout XML (pugixml). Accepts what skin files contain: a raw "<"
// inside attribute values and blanks before the XML declaration. Errors carry the line and
// column of the offending place; elements that are skipped (unknown names, misplaced
// children) are reported as warnings with their position.
//
// Layout shape: a "Window" root whose attributes describe the window and whose children are
// "Font", "Default", "Style" and "Include" elements plus exactly one root control; or, for
// fragments, a control as the root element. Attributes apply in document order, after the
// default attributes of the control's class.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "toolkit/Control.h"
#include "toolkit/ControlFactory.h"

namespace Toolkit {

class CPaintManagerUI;

struct LayoutMessage {
    std::string text;
    int line = 0;    // 1-based; 0 when not tied to a place
    int column = 0;  // 1-based
    // "name:line:column: text"
    std::string Format(const std::string& source) const;
};

struct BuildResult {
    std::unique_ptr<CControlUI> root;
    bool ok = false;
    LayoutMessage error;
    std::vector<LayoutMessage> warnings;
};

class CLayoutBuilder {
public:
    // `manager` receives the window attributes and window-local resources and becomes the
    // controls' manager; `factory` is asked for names the registry lacks. The tree is not yet
    // attached: pass it to CPaintManagerUI::AttachRoot.
    static BuildResult BuildFromText(std::string_view xml, CPaintManagerUI* manager, IControlFactory* factory);
    // Reads the layout from the skin resources (a layout alias is resolved first).
    static BuildResult BuildFromResource(const std::wstring& path, CPaintManagerUI* manager, IControlFactory* factory);

    // A resource fragment ("Fonts", "Styles", default attributes): its elements marked
    // shared="true" enter the process-wide shared set; the rest is built against a temporary
    // window-less set and dropped. Returns false when the XML cannot be parsed or has no root.
    static bool LoadSharedFragment(std::string_view xml, LayoutMessage* error = nullptr);
};

}  // namespace Toolkit
