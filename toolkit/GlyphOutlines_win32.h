#pragma once
// Draws a DirectWrite layout onto a cairo context: every glyph run becomes its outline (the
// font's own curves, at the run's size) and is filled with cairo's source, so text is
// anti-aliased the same way on any cairo surface, with or without a display. Underlines and
// strikethroughs are filled rectangles. Without a cairo context it only counts the glyphs no
// font covered (glyph 0, drawn as a box).
//
// One object per Draw call on the stack; DirectWrite only borrows it during IDWriteTextLayout::
// Draw, so its reference count is not used for its lifetime.
#include "utils/WindowsApi_win32.h"
#include <dwrite.h>

typedef struct _cairo cairo_t;

namespace Toolkit::Text {

class GlyphOutlines : public IDWriteTextRenderer {
public:
    // `cr` null: count only.
    explicit GlyphOutlines(cairo_t* cr) : cr_(cr) {}
    virtual ~GlyphOutlines() = default;

    // Lays `layout` out and draws it with its top left corner at (x, y); false when DirectWrite
    // failed or a glyph outline could not be had.
    bool Draw(IDWriteTextLayout* layout, float x, float y);
    int UnknownGlyphs() const { return unknown_; }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    // IDWritePixelSnapping
    HRESULT STDMETHODCALLTYPE IsPixelSnappingDisabled(void* context, BOOL* disabled) override;
    HRESULT STDMETHODCALLTYPE GetCurrentTransform(void* context, DWRITE_MATRIX* transform) override;
    HRESULT STDMETHODCALLTYPE GetPixelsPerDip(void* context, FLOAT* pixelsPerDip) override;
    // IDWriteTextRenderer
    HRESULT STDMETHODCALLTYPE DrawGlyphRun(void* context, FLOAT baselineX, FLOAT baselineY, DWRITE_MEASURING_MODE mode,
                                           const DWRITE_GLYPH_RUN* run, const DWRITE_GLYPH_RUN_DESCRIPTION* description,
                                           IUnknown* effect) override;
    HRESULT STDMETHODCALLTYPE DrawUnderline(void* context, FLOAT baselineX, FLOAT baselineY,
                                            const DWRITE_UNDERLINE* underline, IUnknown* effect) override;
    HRESULT STDMETHODCALLTYPE DrawStrikethrough(void* context, FLOAT baselineX, FLOAT baselineY,
                                                const DWRITE_STRIKETHROUGH* strikethrough, IUnknown* effect) override;
    HRESULT STDMETHODCALLTYPE DrawInlineObject(void* context, FLOAT originX, FLOAT originY, IDWriteInlineObject* object,
                                               BOOL isSideways, BOOL isRightToLeft, IUnknown* effect) override;

private:
    cairo_t* cr_;
    int unknown_ = 0;
};

}  // namespace Toolkit::Text
