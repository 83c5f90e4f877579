#pragma once
// Text on cairo: laid out by the system's text engine (Pango on Linux, DirectWrite on
// Windows) and drawn anti-aliased onto any cairo context. Fonts are asked for by face with a
// fallback family list, so a face the system lacks ("微软雅黑" on Linux) resolves to an
// installed CJK face and Chinese never shows as boxes. Sizes are pixels.
//
// Draw, Measure and UnknownGlyphs first finish a font warm-up their thread started
// (FontWarmup), so they lay text out on the fonts it loaded.
#include <string>

#include "toolkit/Geometry.h"
#include "toolkit/ResourceSet.h"
#include "toolkit/TextStyle.h"
#include "toolkit/Values.h"

typedef struct _cairo cairo_t;

namespace Toolkit::Text {

// The family list for a face, comma separated (UTF-8): the face, then CJK faces (Traditional
// first when the current language is zh-TW, zh-HK or zh-MO), then general sans faces.
std::string FamilyList(const std::wstring& face);
// The same for a given language (any thread).
std::string FamilyList(const std::wstring& face, const std::wstring& language);

// Draws `text` inside `box` (clipped to it) with the font, colour and text flags.
void Draw(cairo_t* cr, const std::wstring& text, const Rect& box, const FontInfo& font, Color color,
          const TextStyle& style);

// The size the text needs: single line, or wrapped at `maxWidth` when style.wordWrap.
Size Measure(const std::wstring& text, const FontInfo& font, const TextStyle& style, int maxWidth = 0);

// Number of characters of `text` that no installed font covers (drawn as boxes).
int UnknownGlyphs(const std::wstring& text, const FontInfo& font);

}  // namespace Toolkit::Text
