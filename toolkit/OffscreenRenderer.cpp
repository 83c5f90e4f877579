#include "toolkit/OffscreenRenderer.h"

#include <cairo.h>

#include <cmath>

#include "toolkit/PaintManager.h"
#include "toolkit/Painter.h"

namespace Toolkit {

cairo_surface_t* RenderWindow(CPaintManagerUI& manager, const OffscreenOptions& options, Point* origin) {
    const Size size = manager.GetClientSize();
    if (size.cx <= 0 || size.cy <= 0) return nullptr;
    const int margin = options.withShadow ? Paint::ShadowMargin(manager.GetShadow()) : 0;
    const double scale = options.scale > 0 ? options.scale : 1.0;
    const int W = static_cast<int>(std::ceil((size.cx + 2 * margin) * scale));
    const int H = static_cast<int>(std::ceil((size.cy + 2 * margin) * scale));
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, W, H);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return nullptr;
    }
    cairo_surface_set_device_scale(surface, scale, scale);
    cairo_t* cr = cairo_create(surface);
    if (margin > 0) {
        if (cairo_surface_t* shadow = Paint::CreateShadowSurface(size.cx, size.cy, manager.GetRoundCorner(),
                                                                 manager.GetShadow())) {
            cairo_set_source_surface(cr, shadow, 0, 0);
            cairo_paint(cr);
            cairo_surface_destroy(shadow);
        }
    }
    cairo_translate(cr, margin, margin);
    if (options.clipToOutline) {
        Paint::RoundedRectPath(cr, 0, 0, size.cx, size.cy, manager.GetRoundCorner());
        cairo_clip(cr);
    }
    if (margin > 0) {
        // The window's own pixels replace the shadow beneath them.
        cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
        cairo_paint(cr);
        cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    }
    manager.Paint(cr, {0, 0, size.cx, size.cy});
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    if (origin) *origin = {margin, margin};
    return surface;
}

bool RenderWindowToPng(CPaintManagerUI& manager, const OffscreenOptions& options, const std::string& path,
                       std::string* error) {
    cairo_surface_t* surface = RenderWindow(manager, options);
    if (!surface) {
        if (error) *error = "the window has no size";
        return false;
    }
    const cairo_status_t status = cairo_surface_write_to_png(surface, path.c_str());
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS) {
        if (error) *error = cairo_status_to_string(status);
        return false;
    }
    return true;
}

}  // namespace Toolkit
