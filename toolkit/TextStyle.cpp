#include "toolkit/TextStyle.h"

#include "toolkit/Values.h"

namespace Toolkit {
namespace {
bool Has(std::wstring_view value, std::wstring_view word) { return value.find(word) != std::wstring_view::npos; }
}  // namespace

void ApplyAlign(TextStyle& style, std::wstring_view value) {
    if (Has(value, L"right")) style.hAlign = HAlign::Right;
    else if (Has(value, L"center")) style.hAlign = HAlign::Center;
    else if (Has(value, L"left")) style.hAlign = HAlign::Left;
}

void ApplyVAlign(TextStyle& style, std::wstring_view value) {
    if (Has(value, L"bottom")) style.vAlign = VAlign::Bottom;
    else if (Has(value, L"vcenter")) style.vAlign = VAlign::Center;
    else if (Has(value, L"top")) style.vAlign = VAlign::Top;
    else return;
    style.wordWrap = false;
}

void ApplyWordBreak(TextStyle& style, std::wstring_view value) { style.wordWrap = ParseBool(value); }

}  // namespace Toolkit
