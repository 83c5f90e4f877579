// Text on Linux: Pango lays the text out (fontconfig finds the faces and the fallbacks) and
// draws it onto the cairo context.
#include "toolkit/TextRenderer.h"
#include "toolkit/TextRenderer_gtk.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <tuple>

#include "toolkit/FontWarmup.h"
#include "toolkit/GObjectPtr.h"
#include "utils/StringUtils.h"

namespace Toolkit::Text {
namespace {

struct FontKey {
    std::wstring face;
    int size;
    bool bold, italic;
    std::wstring language;
    bool operator<(const FontKey& o) const {
        return std::tie(face, size, bold, italic, language) < std::tie(o.face, o.size, o.bold, o.italic, o.language);
    }
};

// Font descriptions are built once per (face, size, weight, slant, language).
PangoFontDescription* Description(const FontInfo& font) {
    static std::map<FontKey, std::unique_ptr<PangoFontDescription, void (*)(PangoFontDescription*)>> cache;
    FontKey key{font.face, font.size, font.bold, font.italic, CurrentLanguage()};
    auto it = cache.find(key);
    if (it != cache.end()) return it->second.get();
    PangoFontDescription* d = NewFontDescription(font, key.language);
    cache.emplace(key, std::unique_ptr<PangoFontDescription, void (*)(PangoFontDescription*)>(
                           d, pango_font_description_free));
    return d;
}

GObjectPtr<PangoLayout> MakeLayout(cairo_t* cr, const std::string& utf8, const FontInfo& font, const TextStyle& style,
                        int width) {
    auto owned = GObjectPtr<PangoLayout>::Adopt(pango_cairo_create_layout(cr));
    PangoLayout* layout = owned.get();
    PangoContext* context = pango_layout_get_context(layout);
    pango_cairo_context_set_font_options(context, FontOptions());
    const std::wstring& lang = CurrentLanguage();
    if (!lang.empty()) pango_context_set_language(context, pango_language_from_string(Utils::ToUtf8(lang).c_str()));
    pango_layout_context_changed(layout);
    pango_layout_set_font_description(layout, Description(font));
    if (font.underline) {
        PangoAttrList* attrs = pango_attr_list_new();
        pango_attr_list_insert(attrs, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
        pango_layout_set_attributes(layout, attrs);
        pango_attr_list_unref(attrs);
    }
    if (style.wordWrap) {
        pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
        if (width > 0) pango_layout_set_width(layout, width * PANGO_SCALE);
        pango_layout_set_alignment(layout, style.hAlign == HAlign::Center  ? PANGO_ALIGN_CENTER
                                           : style.hAlign == HAlign::Right ? PANGO_ALIGN_RIGHT
                                                                           : PANGO_ALIGN_LEFT);
    } else {
        pango_layout_set_single_paragraph_mode(layout, TRUE);
        if (style.endEllipsis && width > 0) {
            pango_layout_set_width(layout, width * PANGO_SCALE);
            pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
        }
    }
    pango_layout_set_text(layout, utf8.c_str(), static_cast<int>(utf8.size()));
    return owned;
}

cairo_t* MeasureContext() {
    static cairo_t* cr = [] {
        cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
        cairo_t* c = cairo_create(s);
        cairo_surface_destroy(s);
        return c;
    }();
    return cr;
}

}  // namespace

const cairo_font_options_t* FontOptions() {
    static cairo_font_options_t* options = [] {
        cairo_font_options_t* o = cairo_font_options_create();
        // Grey anti-aliasing: sub-pixel colour fringes look wrong on a translucent window.
        cairo_font_options_set_antialias(o, CAIRO_ANTIALIAS_GRAY);
        cairo_font_options_set_hint_style(o, CAIRO_HINT_STYLE_SLIGHT);
        cairo_font_options_set_hint_metrics(o, CAIRO_HINT_METRICS_ON);
        return o;
    }();
    return options;
}

PangoFontDescription* NewFontDescription(const FontInfo& font, const std::wstring& language) {
    PangoFontDescription* d = pango_font_description_new();
    const std::string families = FamilyList(font.face, language);
    pango_font_description_set_family(d, families.c_str());
    pango_font_description_set_absolute_size(d, std::max(1, font.size) * PANGO_SCALE);
    pango_font_description_set_weight(d, font.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_style(d, font.italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    return d;
}

void Draw(cairo_t* cr, const std::wstring& text, const Rect& box, const FontInfo& font, Color color,
          const TextStyle& style) {
    if (text.empty() || box.IsEmpty() || (color >> 24) == 0) return;
    FontWarmup::Finish();
    const std::string utf8 = Utils::ToUtf8(text);
    const GObjectPtr<PangoLayout> layout = MakeLayout(cr, utf8, font, style, box.Width());
    PangoRectangle ink, logical;
    pango_layout_get_pixel_extents(layout.get(), &ink, &logical);
    // Horizontal place of the layout's origin. Wrapped text has the box's width and Pango
    // aligns each line inside it, so the origin stays at the box's left edge (the logical
    // extents' x is that alignment offset and must not be taken back). A single line, shortened
    // with an ellipsis or not, is aligned here by its own width.
    double x = box.left;
    if (!style.wordWrap) {
        if (style.hAlign == HAlign::Center) x = box.left + (box.Width() - logical.width) / 2.0 - logical.x;
        else if (style.hAlign == HAlign::Right) x = box.right - logical.width - logical.x;
        else x = box.left - logical.x;
    }
    double y = box.top;
    if (style.vAlign == VAlign::Center) y = box.top + (box.Height() - logical.height) / 2;
    else if (style.vAlign == VAlign::Bottom) y = box.bottom - logical.height;
    cairo_save(cr);
    cairo_rectangle(cr, box.left, box.top, box.Width(), box.Height());
    cairo_clip(cr);
    cairo_move_to(cr, std::floor(x), std::floor(y) - logical.y);
    cairo_set_source_rgba(cr, ((color >> 16) & 0xFF) / 255.0, ((color >> 8) & 0xFF) / 255.0, (color & 0xFF) / 255.0,
                          ((color >> 24) & 0xFF) / 255.0);
    pango_cairo_show_layout(cr, layout.get());
    cairo_restore(cr);
}

Size Measure(const std::wstring& text, const FontInfo& font, const TextStyle& style, int maxWidth) {
    if (text.empty()) return {};
    FontWarmup::Finish();
    const std::string utf8 = Utils::ToUtf8(text);
    TextStyle s = style;
    s.endEllipsis = false;
    const GObjectPtr<PangoLayout> layout = MakeLayout(MeasureContext(), utf8, font, s, s.wordWrap ? maxWidth : 0);
    PangoRectangle logical;
    pango_layout_get_pixel_extents(layout.get(), nullptr, &logical);
    return {logical.width, logical.height};
}

int UnknownGlyphs(const std::wstring& text, const FontInfo& font) {
    FontWarmup::Finish();
    const std::string utf8 = Utils::ToUtf8(text);
    const GObjectPtr<PangoLayout> layout = MakeLayout(MeasureContext(), utf8, font, TextStyle{}, 0);
    return pango_layout_get_unknown_glyphs_count(layout.get());
}

}  // namespace Toolkit::Text
