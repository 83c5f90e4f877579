#pragma once
// The text flags every text-showing control keeps, and the rules by which the "align",
// "valign" and "wordbreak" attributes change them. The attributes are applied in the order
// they are written, so a later one can undo part of an earlier one.
#include <string_view>

namespace Toolkit {

enum class HAlign { Left, Center, Right };
enum class VAlign { Top, Center, Bottom };

struct TextStyle {
    HAlign hAlign = HAlign::Left;
    VAlign vAlign = VAlign::Center;
    bool wordWrap = false;      // false: single line
    bool endEllipsis = false;   // single-line text too long for its box ends in "…"
    bool operator==(const TextStyle&) const = default;
};

// "align": a value containing "right" sets right, else one containing "center" sets centre,
// else one containing "left" sets left; a value with none of the words changes nothing.
void ApplyAlign(TextStyle& style, std::wstring_view value);
// "valign": "bottom" over "vcenter" over "top"; any of them also switches to single line.
// A value with none of the three words (for example "center") changes nothing.
void ApplyVAlign(TextStyle& style, std::wstring_view value);
// "wordbreak": "true" (any case) switches to word wrap, anything else back to single line.
void ApplyWordBreak(TextStyle& style, std::wstring_view value);

}  // namespace Toolkit
