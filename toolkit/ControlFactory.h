#pragma once
// From element name to control: the toolkit's own registry ("Control", "VerticalLayout", ...,
// names compared without case), and the window's factory asked for every name the registry
// does not know ("SequenceLabel" and the like). A name nobody knows creates nothing.
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "toolkit/Control.h"

namespace Toolkit {

// Implemented by windows that bring their own controls.
class IControlFactory {
public:
    virtual ~IControlFactory() = default;
    // A new control for the element name, or null when the window does not know it.
    virtual std::unique_ptr<CControlUI> CreateControl(const std::wstring& name) = 0;
};

class ControlRegistry {
public:
    using Creator = std::function<std::unique_ptr<CControlUI>()>;

    // The process-wide registry, holding the built-in controls.
    static ControlRegistry& Instance();

    // Registers (or replaces) a creator for an element name.
    void Register(const std::wstring& name, Creator creator);
    // Registry first, then the window's factory; null when neither knows the name.
    std::unique_ptr<CControlUI> Create(const std::wstring& name, IControlFactory* windowFactory) const;
    bool Knows(const std::wstring& name) const;

private:
    ControlRegistry();
    std::map<std::wstring, Creator> creators_;  // key: lower-case name
};

}  // namespace Toolkit
