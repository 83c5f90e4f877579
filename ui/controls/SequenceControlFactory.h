#pragma once
// The installer's own layout elements, for the windows' control factories: "SequenceLabel" and
// "SequenceButton" (names compared without case). Null for any other name.
#include <memory>
#include <string>

#include "toolkit/Control.h"

namespace Controls {

std::unique_ptr<Toolkit::CControlUI> CreateSequenceControl(const std::wstring& name);
// True for a control created above (tested by class name, as window code does before it starts
// or stops an animation).
bool IsSequenceControl(const Toolkit::CControlUI* control);

}  // namespace Controls
