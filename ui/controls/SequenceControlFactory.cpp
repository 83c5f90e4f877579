#include "ui/controls/SequenceControlFactory.h"

#include "ui/controls/CSequenceButtonUI.h"
#include "ui/controls/CSequenceLabelUI.h"
#include "utils/StringUtils.h"

namespace Controls {

std::unique_ptr<Toolkit::CControlUI> CreateSequenceControl(const std::wstring& name) {
    if (Utils::EqualsNoCase(name, L"SequenceButton")) return std::make_unique<CSequenceButtonUI>();
    if (Utils::EqualsNoCase(name, L"SequenceLabel")) {
        auto label = std::make_unique<CSequenceLabelUI>();
        // The label's defaults are set here, after construction.
        label->SetSequenceSpan(30);
        label->State().round = false;
        return label;
    }
    return nullptr;
}

bool IsSequenceControl(const Toolkit::CControlUI* control) {
    if (!control) return false;
    const std::wstring_view cls = control->GetClass();
    return cls == L"SequenceLabel" || cls == L"SequenceButton";
}

}  // namespace Controls
