#include "ArtShapes.h"

#include <algorithm>
#include <cmath>

#include "toolkit/CairoPtr.h"

namespace Art {

namespace {

constexpr double kTau = 2 * M_PI;

double Clamp01(double v) { return std::clamp(v, 0.0, 1.0); }

// 0 before `from`, 1 after `to`, linear between.
double Phase(double x, double from, double to) { return Clamp01((x - from) / (to - from)); }

double EaseOutCubic(double t) { return 1 - std::pow(1 - t, 3); }

double EaseOutBack(double t) {
    const double c1 = 1.70158, c3 = c1 + 1;
    return 1 + c3 * std::pow(t - 1, 3) + c1 * std::pow(t - 1, 2);
}

// Download arrow pointing down, centred on (cx, cy), white with the given opacity.
void Arrow(cairo_t* cr, double cx, double cy, double alpha) {
    cairo_set_line_width(cr, 6);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    SetColor(cr, kWhite, alpha);
    cairo_move_to(cr, cx, cy - 15);
    cairo_line_to(cr, cx, cy + 12);
    cairo_move_to(cr, cx - 12, cy);
    cairo_line_to(cr, cx, cy + 12);
    cairo_line_to(cr, cx + 12, cy);
    cairo_stroke(cr);
}

// A colour fading in from transparent at angle a0 to opaque at a1 round (cx, cy): a conic
// ramp built from thin mesh wedges, so a stroke along the arc has no seams.
Toolkit::PatternPtr ConicRamp(double cx, double cy, double a0, double a1, Rgb c) {
    const int wedges = 48;
    const double reach = 140;
    Toolkit::PatternPtr mesh(cairo_pattern_create_mesh());
    for (int k = 0; k < wedges; ++k) {
        const double u0 = static_cast<double>(k) / wedges, u1 = static_cast<double>(k + 1) / wedges;
        const double b0 = a0 + (a1 - a0) * u0, b1 = a0 + (a1 - a0) * u1 + 0.002;
        const double alpha0 = std::pow(u0, 1.6), alpha1 = std::pow(u1, 1.6);
        cairo_mesh_pattern_begin_patch(mesh.get());
        cairo_mesh_pattern_move_to(mesh.get(), cx, cy);
        cairo_mesh_pattern_line_to(mesh.get(), cx + reach * std::cos(b0), cy + reach * std::sin(b0));
        cairo_mesh_pattern_line_to(mesh.get(), cx + reach * std::cos(b1), cy + reach * std::sin(b1));
        cairo_mesh_pattern_line_to(mesh.get(), cx, cy);
        cairo_mesh_pattern_set_corner_color_rgba(mesh.get(), 0, c.r, c.g, c.b, alpha0);
        cairo_mesh_pattern_set_corner_color_rgba(mesh.get(), 1, c.r, c.g, c.b, alpha0);
        cairo_mesh_pattern_set_corner_color_rgba(mesh.get(), 2, c.r, c.g, c.b, alpha1);
        cairo_mesh_pattern_set_corner_color_rgba(mesh.get(), 3, c.r, c.g, c.b, alpha1);
        cairo_mesh_pattern_end_patch(mesh.get());
    }
    return mesh;
}

}  // namespace

void SetColor(cairo_t* cr, Rgb c, double alpha) { cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha); }

void AddStop(cairo_pattern_t* p, double offset, Rgb c, double alpha) {
    cairo_pattern_add_color_stop_rgba(p, offset, c.r, c.g, c.b, alpha);
}

void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double r) {
    r = std::min({r, w / 2, h / 2});
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -M_PI / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, M_PI / 2);
    cairo_arc(cr, x + r, y + h - r, r, M_PI / 2, M_PI);
    cairo_arc(cr, x + r, y + r, r, M_PI, 3 * M_PI / 2);
    cairo_close_path(cr);
}

void Wave(cairo_t* cr, double w, double h, double height, double amplitude, double phase, Rgb c, double alpha) {
    cairo_move_to(cr, 0, h);
    for (double x = 0; x <= w; x += 4) {
        const double y = h - height + amplitude * std::sin(kTau * (x / w * 1.2 + phase));
        cairo_line_to(cr, x, y);
    }
    cairo_line_to(cr, w, h);
    cairo_close_path(cr);
    SetColor(cr, c, alpha);
    cairo_fill(cr);
}

void ProductMark(cairo_t* cr, double x, double y, double s) {
    cairo_save(cr);
    cairo_translate(cr, x, y);
    RoundedRect(cr, s * 0.04, s * 0.04, s * 0.92, s * 0.92, s * 0.24);
    const Toolkit::PatternPtr g(cairo_pattern_create_linear(0, 0, s, s));
    AddStop(g.get(), 0, kBlueLight, 1);
    AddStop(g.get(), 1, kBlueDeep, 1);
    cairo_set_source(cr, g.get());
    cairo_fill_preserve(cr);
    // A soft sheen across the upper half.
    cairo_clip(cr);
    const Toolkit::PatternPtr sheen(cairo_pattern_create_linear(0, 0, 0, s * 0.6));
    AddStop(sheen.get(), 0, kWhite, 0.22);
    AddStop(sheen.get(), 1, kWhite, 0);
    cairo_set_source(cr, sheen.get());
    cairo_paint(cr);
    cairo_reset_clip(cr);
    // The mark: a ring with a tail, a "Q" that doubles as a magnifier over a package.
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, s * 0.09);
    SetColor(cr, kWhite);
    cairo_arc(cr, s * 0.47, s * 0.47, s * 0.2, 0, kTau);
    cairo_stroke(cr);
    cairo_move_to(cr, s * 0.6, s * 0.6);
    cairo_line_to(cr, s * 0.73, s * 0.73);
    cairo_stroke(cr);
    SetColor(cr, kWhite, 0.85);
    cairo_arc(cr, s * 0.47, s * 0.47, s * 0.07, 0, kTau);
    cairo_fill(cr);
    cairo_restore(cr);
}

void InstallingFrame(cairo_t* cr, int i) {
    const double t = static_cast<double>(i) / kInstallFrames;  // 0 .. 1, wraps seamlessly
    const double cx = 100, cy = 100;

    // Breathing halo.
    const double breath = 0.5 + 0.5 * std::sin(kTau * t * 2);
    const Toolkit::PatternPtr halo(cairo_pattern_create_radial(cx, cy, 50, cx, cy, 96));
    AddStop(halo.get(), 0, kBlue, 0.10 + 0.06 * breath);
    AddStop(halo.get(), 1, kBlue, 0);
    cairo_set_source(cr, halo.get());
    cairo_arc(cr, cx, cy, 96, 0, kTau);
    cairo_fill(cr);

    // Track ring and the comet running round it twice per loop.
    cairo_set_line_width(cr, 5);
    SetColor(cr, kTrack);
    cairo_arc(cr, cx, cy, 76, 0, kTau);
    cairo_stroke(cr);
    const double head = -M_PI / 2 + kTau * 2 * t;
    const double length = kTau * 0.36;
    const Toolkit::PatternPtr tail(ConicRamp(cx, cy, head - length, head, kBlue));
    cairo_set_source(cr, tail.get());
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    cairo_arc(cr, cx, cy, 76, head - length, head);
    cairo_stroke(cr);
    SetColor(cr, kBlue);
    cairo_arc(cr, cx + 76 * std::cos(head), cy + 76 * std::sin(head), 4.2, 0, kTau);
    cairo_fill(cr);

    // Three satellites drifting the other way, once per loop.
    for (int k = 0; k < 3; ++k) {
        const double a = -kTau * t + kTau * k / 3 + 0.4;
        const double pulse = 0.5 + 0.5 * std::sin(kTau * (t * 3 + k / 3.0));
        SetColor(cr, kBlueLight, 0.35 + 0.4 * pulse);
        cairo_arc(cr, cx + 90 * std::cos(a), cy + 90 * std::sin(a), 2.2 + pulse, 0, kTau);
        cairo_fill(cr);
    }

    // Centre disc with the download arrow sliding through it.
    const double r = 54 + 1.5 * breath;
    const Toolkit::PatternPtr disc(cairo_pattern_create_linear(cx, cy - r, cx, cy + r));
    AddStop(disc.get(), 0, kBlueLight, 1);
    AddStop(disc.get(), 1, kBlue, 1);
    cairo_set_source(cr, disc.get());
    cairo_arc(cr, cx, cy, r, 0, kTau);
    cairo_fill_preserve(cr);
    cairo_new_path(cr);
    // The arrow dips towards the tray twice per loop.
    Arrow(cr, cx, cy - 7 + 5 * std::sin(kTau * 2 * t), 1.0);
    // The tray the arrow lands in.
    cairo_set_line_width(cr, 5);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    SetColor(cr, kWhite);
    cairo_move_to(cr, cx - 22, cy + 16);
    cairo_line_to(cr, cx - 22, cy + 27);
    cairo_line_to(cr, cx + 22, cy + 27);
    cairo_line_to(cr, cx + 22, cy + 16);
    cairo_stroke(cr);
}

void FinishedFrame(cairo_t* cr, int i) {
    const double f = i;
    const double cx = 35, cy = 35;
    const double grow = EaseOutBack(Phase(f, 0, 11));
    const double tick = EaseOutCubic(Phase(f, 8, 23));
    const double pulse = Phase(f, 14, kFinishFrames - 1);

    if (pulse > 0 && pulse < 1) {
        cairo_set_line_width(cr, 2.5 * (1 - pulse) + 0.5);
        SetColor(cr, kBlue, 0.45 * (1 - pulse));
        cairo_arc(cr, cx, cy, 29 + 5 * EaseOutCubic(pulse), 0, kTau);
        cairo_stroke(cr);
    }
    if (grow <= 0) return;
    const double r = 29 * grow;
    const Toolkit::PatternPtr disc(cairo_pattern_create_linear(cx, cy - r, cx, cy + r));
    AddStop(disc.get(), 0, kBlueLight, 1);
    AddStop(disc.get(), 1, kBlue, 1);
    cairo_set_source(cr, disc.get());
    cairo_arc(cr, cx, cy, std::max(r, 0.1), 0, kTau);
    cairo_fill(cr);
    if (tick <= 0) return;

    // The tick is drawn along its length: short stroke first, then the long one.
    const double ax = 22, ay = 36, bx = 31, by = 45, dx = 49, dy = 26;
    const double l1 = std::hypot(bx - ax, by - ay), l2 = std::hypot(dx - bx, dy - by);
    double len = tick * (l1 + l2);
    cairo_set_line_width(cr, 5);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    SetColor(cr, kWhite);
    cairo_move_to(cr, ax, ay);
    if (len <= l1) {
        cairo_line_to(cr, ax + (bx - ax) * len / l1, ay + (by - ay) * len / l1);
    } else {
        len -= l1;
        cairo_line_to(cr, bx, by);
        cairo_line_to(cr, bx + (dx - bx) * len / l2, by + (dy - by) * len / l2);
    }
    cairo_stroke(cr);
}

}  // namespace Art
