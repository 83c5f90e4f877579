#pragma once
// What Pango-drawn text is laid out with, for whoever must get the same fonts as Text::Draw
// and Text::Measure (the font warm-up, the native text fields); any thread.
#include <string>

#include "toolkit/ResourceSet.h"

typedef struct _cairo_font_options cairo_font_options_t;
typedef struct _PangoFontDescription PangoFontDescription;

namespace Toolkit::Text {

// The description is the caller's to free.
PangoFontDescription* NewFontDescription(const FontInfo& font, const std::wstring& language);
const cairo_font_options_t* FontOptions();

}  // namespace Toolkit::Text
