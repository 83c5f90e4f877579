#pragma once
// Text on cairo through Pango. Fonts are asked for by face with a fallback family list, so a
// face the system lacks ("微软雅黑" on Linux) resolves to an installed CJK face and Chinese
// never shows as boxes. Sizes are pixels.
//
// Draw, Measure and UnknownGlyphs first finish a font warm-up their thread started
// (FontWarmup), so they lay text out on the fonts it loaded.
#include <string>

#include "toolkit/Geometry.h"
#include "toolkit/ResourceSet.h"
#include "toolkit/TextStyle.h"
#include "toolkit/Values.h"

typedef struct _cairo cairo_t;
typedef struct _cairo_font_options cairo_font_options_t;
typedef struct _PangoFontDescription PangoFontDescription;

namespace Toolkit::Text {

// The Pango family list for a face: the face, then CJK faces (Traditional first when the
// current language is zh-TW, zh-HK or zh-MO), then general sans faces.
std::string FamilyList(const std::wstring& face);
// The same for a given language (any thread).
std::string FamilyList(const std::wstring& face, const std::wstring& language);

// What Draw and Measure lay text out with, for whoever must get the same fonts (the font
// warm-up); any thread. The description is the caller's to free.
PangoFontDescription* NewFontDescription(const FontInfo& font, const std::wstring& language);
const cairo_font_options_t* FontOptions();

// Draws `text` inside `box` (clipped to it) with the font, colour and text flags.
void Draw(cairo_t* cr, const std::wstring& text, const Rect& box, const FontInfo& font, Color color,
          const TextStyle& style);

// The size the text needs: single line, or wrapped at `maxWidth` when style.wordWrap.
Size Measure(const std::wstring& text, const FontInfo& font, const TextStyle& style, int maxWidth = 0);

// Number of characters of `text` that no installed font covers (drawn as boxes).
int UnknownGlyphs(const std::wstring& text, const FontInfo& font);

}  // namespace Toolkit::Text
