#pragma once
#include "toolkit/Label.h"

namespace Toolkit {

// "Text": a label for running text; starts left and top aligned with word wrap.
class CTextUI : public CLabelUI {
public:
    CTextUI() : CLabelUI(TextStyle{HAlign::Left, VAlign::Top, true}) {}
    std::wstring_view GetClass() const override { return L"Text"; }
};

}  // namespace Toolkit
