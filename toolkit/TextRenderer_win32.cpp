// Text on Windows: DirectWrite lays the text out (fonts, fallback, line breaks, alignment,
// ellipsis) and its glyph outlines are filled with cairo (GlyphOutlines).
#include "toolkit/TextRenderer.h"

#include <cairo.h>

#include <cmath>

#include "toolkit/DWriteText_win32.h"
#include "toolkit/FontWarmup.h"
#include "toolkit/GlyphOutlines_win32.h"

namespace Toolkit::Text {
namespace {

bool Metrics(IDWriteTextLayout* layout, DWRITE_TEXT_METRICS& metrics) {
    return layout && SUCCEEDED(layout->GetMetrics(&metrics));
}

}  // namespace

void Draw(cairo_t* cr, const std::wstring& text, const Rect& box, const FontInfo& font, Color color,
          const TextStyle& style) {
    if (text.empty() || box.IsEmpty() || (color >> 24) == 0) return;
    FontWarmup::Finish();
    const ComRef<IDWriteTextLayout> layout =
        DWriteText::Instance().Layout(text, font, style, static_cast<float>(box.Width()), CurrentLanguage());
    DWRITE_TEXT_METRICS metrics{};
    if (!Metrics(layout.get(), metrics)) return;
    // DirectWrite aligns every line inside the box's width itself (a single line too long for
    // it overflows on both sides when centred), so the layout's origin is the box's left edge.
    double y = box.top;
    if (style.vAlign == VAlign::Center) y = box.top + (box.Height() - metrics.height) / 2;
    else if (style.vAlign == VAlign::Bottom) y = box.bottom - metrics.height;
    cairo_save(cr);
    cairo_rectangle(cr, box.left, box.top, box.Width(), box.Height());
    cairo_clip(cr);
    cairo_set_source_rgba(cr, ((color >> 16) & 0xFF) / 255.0, ((color >> 8) & 0xFF) / 255.0, (color & 0xFF) / 255.0,
                          ((color >> 24) & 0xFF) / 255.0);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_GRAY);
    GlyphOutlines outlines(cr);
    outlines.Draw(layout.get(), static_cast<float>(box.left), static_cast<float>(std::floor(y)));
    cairo_restore(cr);
}

Size Measure(const std::wstring& text, const FontInfo& font, const TextStyle& style, int maxWidth) {
    if (text.empty()) return {};
    FontWarmup::Finish();
    TextStyle s = style;
    s.endEllipsis = false;
    const float width = s.wordWrap && maxWidth > 0 ? static_cast<float>(maxWidth) : 0.0f;
    const ComRef<IDWriteTextLayout> layout = DWriteText::Instance().Layout(text, font, s, width, CurrentLanguage());
    DWRITE_TEXT_METRICS metrics{};
    if (!Metrics(layout.get(), metrics)) return {};
    // A wrapped line ends without the blank it broke at, as Pango measures it; a single line
    // keeps its trailing blanks (they take room where the text is drawn).
    const float measured = width > 0 ? metrics.width : metrics.widthIncludingTrailingWhitespace;
    return {static_cast<int>(std::ceil(measured)), static_cast<int>(std::ceil(metrics.height))};
}

int UnknownGlyphs(const std::wstring& text, const FontInfo& font) {
    FontWarmup::Finish();
    if (text.empty()) return 0;
    const ComRef<IDWriteTextLayout> layout =
        DWriteText::Instance().Layout(text, font, TextStyle{}, 0.0f, CurrentLanguage());
    if (!layout) return 0;
    GlyphOutlines counter(nullptr);
    counter.Draw(layout.get(), 0, 0);
    return counter.UnknownGlyphs();
}

}  // namespace Toolkit::Text
