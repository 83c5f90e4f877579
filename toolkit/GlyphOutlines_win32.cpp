#include "toolkit/GlyphOutlines_win32.h"

#include <cairo.h>
#include <d2d1.h>

#include <algorithm>
#include <cmath>

namespace Toolkit::Text {
namespace {

// Receives a glyph run's outline and adds it to cairo's current path, shifted to the run's
// baseline origin. DirectWrite only borrows it for the one call.
class PathSink : public ID2D1SimplifiedGeometrySink {
public:
    PathSink(cairo_t* cr, double x, double y) : cr_(cr), x_(x), y_(y) {}
    virtual ~PathSink() = default;
    cairo_fill_rule_t FillRule() const { return rule_; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        if (riid == __uuidof(IUnknown) || riid == __uuidof(ID2D1SimplifiedGeometrySink)) {
            *object = static_cast<ID2D1SimplifiedGeometrySink*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    void STDMETHODCALLTYPE SetFillMode(D2D1_FILL_MODE mode) override {
        rule_ = mode == D2D1_FILL_MODE_ALTERNATE ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING;
    }
    void STDMETHODCALLTYPE SetSegmentFlags(D2D1_PATH_SEGMENT) override {}
    void STDMETHODCALLTYPE BeginFigure(D2D1_POINT_2F start, D2D1_FIGURE_BEGIN) override {
        cairo_move_to(cr_, x_ + start.x, y_ + start.y);
    }
    void STDMETHODCALLTYPE AddLines(const D2D1_POINT_2F* points, UINT count) override {
        for (UINT i = 0; i < count; ++i) cairo_line_to(cr_, x_ + points[i].x, y_ + points[i].y);
    }
    void STDMETHODCALLTYPE AddBeziers(const D2D1_BEZIER_SEGMENT* beziers, UINT count) override {
        for (UINT i = 0; i < count; ++i) {
            const D2D1_BEZIER_SEGMENT& b = beziers[i];
            cairo_curve_to(cr_, x_ + b.point1.x, y_ + b.point1.y, x_ + b.point2.x, y_ + b.point2.y, x_ + b.point3.x,
                           y_ + b.point3.y);
        }
    }
    void STDMETHODCALLTYPE EndFigure(D2D1_FIGURE_END) override { cairo_close_path(cr_); }
    HRESULT STDMETHODCALLTYPE Close() override { return S_OK; }

private:
    cairo_t* cr_;
    double x_, y_;
    cairo_fill_rule_t rule_ = CAIRO_FILL_RULE_WINDING;
};

}  // namespace

bool GlyphOutlines::Draw(IDWriteTextLayout* layout, float x, float y) {
    return SUCCEEDED(layout->Draw(nullptr, this, x, y));
}

HRESULT GlyphOutlines::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    if (riid == __uuidof(IUnknown) || riid == __uuidof(IDWritePixelSnapping) || riid == __uuidof(IDWriteTextRenderer)) {
        *object = static_cast<IDWriteTextRenderer*>(this);
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

// Baselines snap to whole pixels (the caller draws at whole-pixel origins): stems and the
// underline keep their sharpness, as with Pango's metric hinting.
HRESULT GlyphOutlines::IsPixelSnappingDisabled(void*, BOOL* disabled) {
    *disabled = FALSE;
    return S_OK;
}

// cairo applies the context's own transform (the device scale of a high-density surface), so
// DirectWrite lays out in window units.
HRESULT GlyphOutlines::GetCurrentTransform(void*, DWRITE_MATRIX* transform) {
    *transform = DWRITE_MATRIX{1, 0, 0, 1, 0, 0};
    return S_OK;
}

HRESULT GlyphOutlines::GetPixelsPerDip(void*, FLOAT* pixelsPerDip) {
    *pixelsPerDip = 1;
    return S_OK;
}

HRESULT GlyphOutlines::DrawGlyphRun(void*, FLOAT baselineX, FLOAT baselineY, DWRITE_MEASURING_MODE,
                                    const DWRITE_GLYPH_RUN* run, const DWRITE_GLYPH_RUN_DESCRIPTION*, IUnknown*) {
    if (!run || run->glyphCount == 0) return S_OK;
    for (UINT32 i = 0; i < run->glyphCount; ++i)
        if (run->glyphIndices[i] == 0) ++unknown_;
    if (!cr_) return S_OK;
    cairo_new_path(cr_);
    PathSink sink(cr_, baselineX, baselineY);
    const HRESULT hr = run->fontFace->GetGlyphRunOutline(run->fontEmSize, run->glyphIndices, run->glyphAdvances,
                                                         run->glyphOffsets, run->glyphCount, run->isSideways,
                                                         (run->bidiLevel & 1) != 0, &sink);
    if (FAILED(hr)) {
        cairo_new_path(cr_);
        return hr;
    }
    cairo_set_fill_rule(cr_, sink.FillRule());
    cairo_fill(cr_);
    return S_OK;
}

HRESULT GlyphOutlines::DrawUnderline(void*, FLOAT baselineX, FLOAT baselineY, const DWRITE_UNDERLINE* underline,
                                     IUnknown*) {
    if (!cr_ || !underline) return S_OK;
    // At least one pixel thick, or a thin underline vanishes into anti-aliasing.
    const double thickness = std::max(1.0, std::round(static_cast<double>(underline->thickness)));
    cairo_rectangle(cr_, baselineX, std::round(baselineY + underline->offset), underline->width, thickness);
    cairo_fill(cr_);
    return S_OK;
}

HRESULT GlyphOutlines::DrawStrikethrough(void*, FLOAT baselineX, FLOAT baselineY,
                                         const DWRITE_STRIKETHROUGH* strikethrough, IUnknown*) {
    if (!cr_ || !strikethrough) return S_OK;
    const double thickness = std::max(1.0, std::round(static_cast<double>(strikethrough->thickness)));
    cairo_rectangle(cr_, baselineX, std::round(baselineY + strikethrough->offset), strikethrough->width, thickness);
    cairo_fill(cr_);
    return S_OK;
}

// The end ellipsis is an inline object: it draws its own glyph run back through this renderer.
HRESULT GlyphOutlines::DrawInlineObject(void* context, FLOAT originX, FLOAT originY, IDWriteInlineObject* object,
                                        BOOL isSideways, BOOL isRightToLeft, IUnknown* effect) {
    if (!object) return S_OK;
    return object->Draw(context, this, originX, originY, isSideways, isRightToLeft, effect);
}

}  // namespace Toolkit::Text
