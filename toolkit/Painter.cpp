#include "toolkit/Painter.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "toolkit/CairoPtr.h"
#include "toolkit/ImageCache.h"

namespace Toolkit::Paint {

void SetColor(cairo_t* cr, Color c) {
    cairo_set_source_rgba(cr, ((c >> 16) & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0, (c & 0xFF) / 255.0,
                          ((c >> 24) & 0xFF) / 255.0);
}

void RoundedRectPath(cairo_t* cr, double x, double y, double w, double h, Size round) {
    double rx = std::min(round.cx / 2.0, w / 2.0), ry = std::min(round.cy / 2.0, h / 2.0);
    if (rx <= 0.5 || ry <= 0.5) {
        cairo_rectangle(cr, x, y, w, h);
        return;
    }
    cairo_new_sub_path(cr);
    auto corner = [&](double cx, double cy, double a0, double a1) {
        cairo_save(cr);
        cairo_translate(cr, cx, cy);
        cairo_scale(cr, rx, ry);
        cairo_arc(cr, 0, 0, 1, a0, a1);
        cairo_restore(cr);
    };
    corner(x + w - rx, y + ry, -M_PI / 2, 0);
    corner(x + w - rx, y + h - ry, 0, M_PI / 2);
    corner(x + rx, y + h - ry, M_PI / 2, M_PI);
    corner(x + rx, y + ry, M_PI, 3 * M_PI / 2);
    cairo_close_path(cr);
}

void FillRect(cairo_t* cr, const Rect& r, Color color, Size round) {
    if (r.IsEmpty() || (color >> 24) == 0) return;
    cairo_save(cr);
    RoundedRectPath(cr, r.left, r.top, r.Width(), r.Height(), round);
    SetColor(cr, color);
    cairo_fill(cr);
    cairo_restore(cr);
}

void DrawBorder(cairo_t* cr, const Rect& r, int width, Color color, Size round) {
    if (r.IsEmpty() || width <= 0 || (color >> 24) == 0) return;
    cairo_save(cr);
    const double half = width / 2.0;
    Size inner{std::max(0, round.cx - width), std::max(0, round.cy - width)};
    RoundedRectPath(cr, r.left + half, r.top + half, r.Width() - width, r.Height() - width,
                    round.cx > 0 ? inner : round);
    cairo_set_line_width(cr, width);
    SetColor(cr, color);
    cairo_stroke(cr);
    cairo_restore(cr);
}

void DrawSideBorders(cairo_t* cr, const Rect& r, const Rect& w, Color color) {
    FillRect(cr, {r.left, r.top, r.left + w.left, r.bottom}, color);
    FillRect(cr, {r.left, r.top, r.right, r.top + w.top}, color);
    FillRect(cr, {r.right - w.right, r.top, r.right, r.bottom}, color);
    FillRect(cr, {r.left, r.bottom - w.bottom, r.right, r.bottom}, color);
}

namespace {

// Pixels per window unit of the surface `cr` draws on (2 on a high-density screen).
double DeviceScale(cairo_t* cr) {
    double sx = 1, sy = 1;
    cairo_surface_get_device_scale(cairo_get_target(cr), &sx, &sy);
    return sx;
}

// One cell of a nine-slice: source part `s` (window units; the image holds `k` pixels per
// unit) of `surface` drawn into `d`, stretched or tiled.
void DrawCell(cairo_t* cr, cairo_surface_t* surface, int k, double device, const Rect& s, const Rect& d, bool tileX,
              bool tileY, double alpha) {
    if (s.IsEmpty() || d.IsEmpty()) return;
    const int pw = std::min(s.Width() * k, cairo_image_surface_get_width(surface) - s.left * k);
    const int ph = std::min(s.Height() * k, cairo_image_surface_get_height(surface) - s.top * k);
    if (pw <= 0 || ph <= 0) return;
    SurfacePtr sub(cairo_surface_create_for_rectangle(surface, s.left * k, s.top * k, pw, ph));
    PatternPtr owned(cairo_pattern_create_for_surface(sub.get()));
    cairo_pattern_t* pattern = owned.get();
    const double sx = tileX ? k : static_cast<double>(pw) / d.Width();
    const double sy = tileY ? k : static_cast<double>(ph) / d.Height();
    cairo_matrix_t m;
    cairo_matrix_init_scale(&m, sx, sy);
    cairo_matrix_translate(&m, -d.left, -d.top);
    cairo_pattern_set_matrix(pattern, &m);
    // PAD keeps the cells' edges opaque when they are stretched, so the slices join seamlessly.
    cairo_pattern_set_extend(pattern, (tileX || tileY) ? CAIRO_EXTEND_REPEAT : CAIRO_EXTEND_PAD);
    // One image pixel on one screen pixel (`device` pixels per unit) needs no filtering.
    cairo_pattern_set_filter(pattern, (sx == device && sy == device) ? CAIRO_FILTER_NEAREST : CAIRO_FILTER_GOOD);
    cairo_save(cr);
    cairo_rectangle(cr, d.left, d.top, d.Width(), d.Height());
    cairo_clip(cr);
    cairo_set_source(cr, pattern);
    if (alpha >= 1.0) cairo_paint(cr);
    else cairo_paint_with_alpha(cr, alpha);
    cairo_restore(cr);
}

}  // namespace

bool DrawImage(cairo_t* cr, const Image& image, const ImageDescriptor& desc, const Rect& control) {
    Rect src = desc.hasSource ? desc.source : Rect{0, 0, image.Width(), image.Height()};
    src = src.Intersect({0, 0, image.Width(), image.Height()});
    Rect dst = desc.hasDest ? desc.dest.Offset(control.left, control.top) : control;
    if (desc.hasDest) {
        // A dest reaching past the control is cut to it.
        dst.right = std::min(dst.right, control.right);
        dst.bottom = std::min(dst.bottom, control.bottom);
    }
    if (src.IsEmpty() || dst.IsEmpty() || desc.fade <= 0) return false;
    const double alpha = desc.fade / 255.0;

    Rect c = desc.corner;
    c.left = std::clamp(c.left, 0, src.Width());
    c.right = std::clamp(c.right, 0, src.Width() - c.left);
    c.top = std::clamp(c.top, 0, src.Height());
    c.bottom = std::clamp(c.bottom, 0, src.Height() - c.top);
    // Corners larger than the destination shrink together so they still meet.
    Rect dc = c;
    if (dc.left + dc.right > dst.Width() && dc.left + dc.right > 0) {
        const double f = static_cast<double>(dst.Width()) / (dc.left + dc.right);
        dc.left = static_cast<int>(dc.left * f);
        dc.right = dst.Width() - dc.left;
    }
    if (dc.top + dc.bottom > dst.Height() && dc.top + dc.bottom > 0) {
        const double f = static_cast<double>(dst.Height()) / (dc.top + dc.bottom);
        dc.top = static_cast<int>(dc.top * f);
        dc.bottom = dst.Height() - dc.top;
    }
    const int sx[4] = {src.left, src.left + c.left, src.right - c.right, src.right};
    const int sy[4] = {src.top, src.top + c.top, src.bottom - c.bottom, src.bottom};
    const int dx[4] = {dst.left, dst.left + dc.left, dst.right - dc.right, dst.right};
    const int dy[4] = {dst.top, dst.top + dc.top, dst.bottom - dc.bottom, dst.bottom};
    cairo_surface_t* surface = image.Surface();
    const double device = DeviceScale(cr);
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            if (row == 1 && col == 1 && desc.hole) continue;
            DrawCell(cr, surface, image.Scale(), device, {sx[col], sy[row], sx[col + 1], sy[row + 1]},
                     {dx[col], dy[row], dx[col + 1], dy[row + 1]}, desc.xTiled && col == 1, desc.yTiled && row == 1,
                     alpha);
        }
    }
    return true;
}

bool DrawImage(cairo_t* cr, const ImageDescriptor& desc, const Rect& control) {
    if (desc.IsEmpty()) return false;
    const int scale = DeviceScale(cr) >= 1.5 ? 2 : 1;
    auto image = ImageCache::Instance().Get(desc.file, desc.hasMask, desc.mask, scale);
    if (!image) return false;
    return DrawImage(cr, *image, desc, control);
}

void DrawFocusRing(cairo_t* cr, const Rect& r, Size round) {
    if (r.Width() < 6 || r.Height() < 6) return;
    cairo_save(cr);
    Size ring{std::max(round.cx, 6), std::max(round.cy, 6)};
    RoundedRectPath(cr, r.left + 1, r.top + 1, r.Width() - 2, r.Height() - 2, ring);
    cairo_set_line_width(cr, 2.0);
    SetColor(cr, 0xE61A73E8);
    cairo_stroke(cr);
    // A thin white halo keeps the ring visible on blue buttons.
    RoundedRectPath(cr, r.left + 2.5, r.top + 2.5, r.Width() - 5, r.Height() - 5, ring);
    cairo_set_line_width(cr, 1.0);
    SetColor(cr, 0xB3FFFFFF);
    cairo_stroke(cr);
    cairo_restore(cr);
}

int ShadowMargin(const ShadowStyle& shadow) {
    if (!shadow.show || shadow.size <= 0) return 0;
    return shadow.size + std::max(std::abs(shadow.position.x), std::abs(shadow.position.y));
}

cairo_surface_t* CreateShadowSurface(int width, int height, Size round, const ShadowStyle& shadow) {
    const int margin = ShadowMargin(shadow);
    if (margin == 0 || width <= 0 || height <= 0) return nullptr;
    const int W = width + 2 * margin, H = height + 2 * margin;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, W, H);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return nullptr;
    }
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const double peak = std::clamp((((shadow.color >> 24) & 0xFF) + std::clamp(shadow.darkness, 0, 255)) / 255.0, 0.0, 1.0);
    const double exponent = 1.0 + (20 - std::clamp(shadow.sharpness, 0, 20)) / 10.0;
    // Signed distance to the shadow's rounded rectangle (the window outline moved by the offset).
    const double cx = margin + shadow.position.x + width / 2.0, cy = margin + shadow.position.y + height / 2.0;
    const double hx = width / 2.0, hy = height / 2.0;
    const double r = std::min({round.cx / 2.0, round.cy / 2.0, hx, hy});
    const double size = shadow.size;
    const uint32_t rgb = shadow.color & 0x00FFFFFFu;
    for (int y = 0; y < H; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(data + static_cast<size_t>(y) * stride);
        for (int x = 0; x < W; ++x) {
            const double px = std::abs(x + 0.5 - cx) - (hx - r), py = std::abs(y + 0.5 - cy) - (hy - r);
            const double ox = std::max(px, 0.0), oy = std::max(py, 0.0);
            const double d = std::sqrt(ox * ox + oy * oy) + std::min(std::max(px, py), 0.0) - r;
            double a = 0;
            if (d <= 0) a = peak;
            else if (d < size) a = peak * std::pow(1.0 - d / size, exponent);
            const uint32_t A = static_cast<uint32_t>(std::lround(a * 255));
            const uint32_t R = (((rgb >> 16) & 0xFF) * A + 127) / 255, G = (((rgb >> 8) & 0xFF) * A + 127) / 255,
                           B = ((rgb & 0xFF) * A + 127) / 255;
            row[x] = (A << 24) | (R << 16) | (G << 8) | B;
        }
    }
    cairo_surface_mark_dirty(surface);
    return surface;
}

}  // namespace Toolkit::Paint
