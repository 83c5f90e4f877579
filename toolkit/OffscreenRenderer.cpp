#include "toolkit/OffscreenRenderer.h"

#include <cairo.h>

#include <cmath>

#include "toolkit/PaintManager.h"
#include "toolkit/Painter.h"
#include "toolkit/WindowPainter.h"

namespace Toolkit {

SurfacePtr RenderWindow(CPaintManagerUI& manager, const OffscreenOptions& options, Point* origin) {
    manager.UpdateLayout();
    const Size size = manager.GetClientSize();
    if (size.cx <= 0 || size.cy <= 0) return nullptr;
    WindowFrame frame;
    frame.margin = options.withShadow ? Paint::ShadowMargin(manager.GetShadow()) : 0;
    frame.shadow = frame.margin > 0;
    frame.roundedClip = options.clipToOutline;
    frame.startsClear = true;
    const double scale = options.scale > 0 ? options.scale : 1.0;
    const int W = static_cast<int>(std::ceil((size.cx + 2 * frame.margin) * scale));
    const int H = static_cast<int>(std::ceil((size.cy + 2 * frame.margin) * scale));
    SurfacePtr surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, W, H));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return nullptr;
    cairo_surface_set_device_scale(surface.get(), scale, scale);
    {
        CairoPtr cr(cairo_create(surface.get()));
        CWindowPainter painter;
        painter.Paint(cr.get(), manager, frame, {0, 0, size.cx, size.cy});
    }
    cairo_surface_flush(surface.get());
    if (origin) *origin = {frame.margin, frame.margin};
    return surface;
}

bool RenderWindowToPng(CPaintManagerUI& manager, const OffscreenOptions& options, const std::string& path,
                       std::string* error) {
    SurfacePtr surface = RenderWindow(manager, options);
    if (!surface) {
        if (error) *error = "the window has no size";
        return false;
    }
    const cairo_status_t status = cairo_surface_write_to_png(surface.get(), path.c_str());
    if (status != CAIRO_STATUS_SUCCESS) {
        if (error) *error = cairo_status_to_string(status);
        return false;
    }
    return true;
}

}  // namespace Toolkit
