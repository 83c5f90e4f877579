#include "toolkit/WindowPainter.h"

#include <cairo.h>

#include <cmath>

#include "toolkit/PaintManager.h"

namespace Toolkit {

void CWindowPainter::Paint(cairo_t* cr, CPaintManagerUI& manager, const WindowFrame& frame, const Rect& dirty) {
    const Size client = manager.GetClientSize();
    if (client.cx <= 0 || client.cy <= 0) return;
    cairo_save(cr);

    // 1. The margin: fully transparent, then the shadow.
    if (frame.margin > 0) {
        if (!frame.startsClear) {
            cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
            cairo_set_source_rgba(cr, 0, 0, 0, 0);
            cairo_paint(cr);
            cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
        }
        if (frame.shadow) {
            if (!shadow_ || !(shadowClient_ == client)) {
                shadow_.reset(Paint::CreateShadowSurface(client.cx, client.cy, manager.GetRoundCorner(), manager.GetShadow()));
                shadowClient_ = client;
            }
            if (shadow_) {
                cairo_set_source_surface(cr, shadow_.get(), 0, 0);
                cairo_paint(cr);
            }
        }
    }

    // 2. The window's own area: cut to its outline and started clear, so the shadow does not
    //    tint it, or white where nothing can show through (the shape cut hides the corners).
    cairo_translate(cr, frame.margin, frame.margin);
    // The layout sees the caller's clip, before the rounded cut makes it a curve: what moves
    // inside it is drawn by this paint (the cut corners show no control anyway).
    manager.UpdateLayoutFor(cr, dirty);
    Paint::RoundedRectPath(cr, 0, 0, client.cx, client.cy, frame.roundedClip ? manager.GetRoundCorner() : Size{});
    cairo_clip(cr);
    if (frame.opaque) {
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_paint(cr);
    } else if (!frame.startsClear || frame.shadow) {
        cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
        cairo_paint(cr);
        cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    }

    // 3. The controls inside the dirty part.
    double x1, y1, x2, y2;
    cairo_clip_extents(cr, &x1, &y1, &x2, &y2);
    const Rect clip{static_cast<int>(std::floor(x1)), static_cast<int>(std::floor(y1)), static_cast<int>(std::ceil(x2)),
                    static_cast<int>(std::ceil(y2))};
    manager.Paint(cr, clip.Intersect(dirty));

    // 4. The outline, inside the cut: one device pixel wide at any scale, the cool grey of the
    //    skin's field borders, over whatever the controls drew at the edge.
    if (frame.outline) {
        double px = 1, py = 1;
        cairo_device_to_user_distance(cr, &px, &py);
        const double w = std::abs(px);
        Paint::RoundedRectPath(cr, w / 2, w / 2, client.cx - w, client.cy - w,
                               frame.roundedClip ? manager.GetRoundCorner() : Size{});
        cairo_set_source_rgb(cr, 0xC4 / 255.0, 0xCC / 255.0, 0xD6 / 255.0);
        cairo_set_line_width(cr, w);
        cairo_stroke(cr);
    }
    cairo_restore(cr);
}

}  // namespace Toolkit
