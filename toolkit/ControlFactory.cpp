#include "toolkit/ControlFactory.h"

#include "toolkit/BoxLayout.h"
#include "toolkit/Button.h"
#include "toolkit/CheckBox.h"
#include "toolkit/Combo.h"
#include "toolkit/ComboItem.h"
#include "toolkit/Container.h"
#include "toolkit/Edit.h"
#include "toolkit/Label.h"
#include "toolkit/Progress.h"
#include "toolkit/TabLayout.h"
#include "toolkit/Text.h"
#include "utils/StringUtils.h"

namespace Toolkit {

ControlRegistry& ControlRegistry::Instance() {
    static ControlRegistry registry;
    return registry;
}

ControlRegistry::ControlRegistry() {
    Register(L"Control", [] { return std::make_unique<CControlUI>(); });
    Register(L"Container", [] { return std::make_unique<CContainerUI>(); });
    Register(L"VerticalLayout", [] { return std::make_unique<CBoxLayoutUI>(CBoxLayoutUI::Axis::Vertical); });
    Register(L"HorizontalLayout", [] { return std::make_unique<CBoxLayoutUI>(CBoxLayoutUI::Axis::Horizontal); });
    Register(L"TabLayout", [] { return std::make_unique<CTabLayoutUI>(); });
    Register(L"Label", [] { return std::make_unique<CLabelUI>(); });
    Register(L"Text", [] { return std::make_unique<CTextUI>(); });
    Register(L"Button", [] { return std::make_unique<CButtonUI>(); });
    Register(L"CheckBox", [] { return std::make_unique<CCheckBoxUI>(); });
    Register(L"Option", [] { return std::make_unique<CCheckBoxUI>(); });
    Register(L"Combo", [] { return std::make_unique<CComboUI>(); });
    Register(L"ListLabelElement", [] { return std::make_unique<CComboItemUI>(); });
    Register(L"Edit", [] { return std::make_unique<CEditUI>(); });
    Register(L"Progress", [] { return std::make_unique<CProgressUI>(); });
}

void ControlRegistry::Register(const std::wstring& name, Creator creator) {
    creators_[Utils::AsciiLower(name)] = std::move(creator);
}

bool ControlRegistry::Knows(const std::wstring& name) const { return creators_.count(Utils::AsciiLower(name)) > 0; }

std::unique_ptr<CControlUI> ControlRegistry::Create(const std::wstring& name, IControlFactory* windowFactory) const {
    auto it = creators_.find(Utils::AsciiLower(name));
    if (it != creators_.end()) return it->second();
    if (windowFactory) return windowFactory->CreateControl(name);
    return nullptr;
}

}  // namespace Toolkit
