#pragma once
// One item of a "Combo" list ("ListLabelElement" in layouts): a text with custom attributes
// (the installer keeps "lcid" and "lang" on its language items).
#include "toolkit/Label.h"

namespace Toolkit {

class CComboItemUI : public CLabelUI {
public:
    std::wstring_view GetClass() const override { return L"ListLabelElement"; }
};

}  // namespace Toolkit
