#pragma once
// The value syntax of layout attributes: integers, rectangles, sizes, ARGB colours, booleans
// and image descriptors. Every parser is total: malformed text yields a documented fallback.
#include <cstdint>
#include <string>
#include <string_view>

#include "toolkit/Geometry.h"

namespace Toolkit {

using Color = std::uint32_t;  // 0xAARRGGBB

// Decimal integer with leading blanks and an optional sign; parsing stops at the first
// non-digit ("12px" is 12, "x" is 0). Values beyond the int range are clamped.
int ParseInt(std::wstring_view text);

// Lengths in a layout (sizes, insets, paddings, borders) are kept within this many pixels
// either way: no screen is that large, and sums of many of them still fit an int, so a skin
// with absurd numbers lays out wrongly but never overflows.
inline constexpr int kMaxLayoutLength = 1 << 16;

// An integer read like ParseInt, then held within +/-kMaxLayoutLength.
int ParseLength(std::wstring_view text);
// "left,top,right,bottom": each part is read like ParseLength; missing parts are 0.
Rect ParseRect(std::wstring_view text);
// "cx,cy" (also used for points), each part read like ParseLength.
Size ParseSize(std::wstring_view text);

// ARGB hex: one optional leading '#' is skipped, the rest is read in base 16 (an "0x" prefix
// is accepted). "#FF2196F3", "0xFFFFFFFF" and "FF235FE3" are all valid. Reading stops at the
// first non-hex character; nothing readable gives 0 (fully transparent).
Color ParseColor(std::wstring_view text);

// True exactly when the text is "true" in any letter case.
bool ParseBool(std::wstring_view text);

// An image attribute: a plain path or a list of name='value' properties.
struct ImageDescriptor {
    std::wstring file;       // path inside the skin resources ("file" or "res")
    std::wstring resType;    // "restype": resource type for images that are not skin files
    Rect dest;               // inside the control, in its own coordinates; see hasDest
    bool hasDest = false;
    Rect source;             // part of the image to use; see hasSource
    bool hasSource = false;
    Rect corner;             // borders kept unscaled (nine-slice)
    Color mask = 0;          // colour drawn transparent; see hasMask
    bool hasMask = false;
    int fade = 255;          // opacity 0..255
    bool hole = false;       // the centre inside "corner" is not drawn
    bool xTiled = false;
    bool yTiled = false;

    bool IsEmpty() const { return file.empty(); }
    bool operator==(const ImageDescriptor&) const = default;
};

// Parses an image descriptor. Text whose first element is not name='value' is taken as a plain
// path (trimmed). In a property list, unknown names are ignored and parsing stops at the first
// element that is not name='value' (the properties before it are kept).
ImageDescriptor ParseImageDescriptor(std::wstring_view text);

}  // namespace Toolkit
