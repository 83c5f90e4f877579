#pragma once
// One item of a "Combo" list ("ListLabelElement" in layouts): a text with custom attributes
// (the installer keeps "lcid" and "lang" on its language items).
#include "toolkit/Label.h"
#include "utils/StringUtils.h"

namespace Toolkit {

class CComboItemUI : public CLabelUI {
public:
    std::wstring_view GetClass() const override { return L"ListLabelElement"; }
    // "selected" is kept as a custom attribute: the combo box reads it when the item joins.
    void SetAttribute(std::wstring_view name, std::wstring_view value) override {
        if (Utils::AsciiLower(std::wstring(name)) == L"selected") SetCustomAttribute(L"selected", std::wstring(value));
        else CLabelUI::SetAttribute(name, value);
    }
};

}  // namespace Toolkit
