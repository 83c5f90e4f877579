#include "TestSkin.h"

#include <cairo.h>
#include <zip.h>

#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

namespace TestSkin {
namespace fs = std::filesystem;

namespace {

void Rgba(cairo_t* cr, std::uint32_t c) {
    cairo_set_source_rgba(cr, ((c >> 16) & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0, (c & 0xFF) / 255.0,
                          ((c >> 24) & 0xFF) / 255.0);
}

void RoundRect(cairo_t* cr, double x, double y, double w, double h, double r) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -M_PI / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, M_PI / 2);
    cairo_arc(cr, x + r, y + h - r, r, M_PI / 2, M_PI);
    cairo_arc(cr, x + r, y + r, r, M_PI, 3 * M_PI / 2);
    cairo_close_path(cr);
}

bool Png(const fs::path& path, int w, int h, const std::function<void(cairo_t*)>& draw) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t* cr = cairo_create(s);
    draw(cr);
    cairo_destroy(cr);
    const bool ok = cairo_surface_write_to_png(s, path.string().c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(s);
    return ok;
}

void Cross(cairo_t* cr, std::uint32_t color, double size) {
    Rgba(cr, color);
    cairo_set_line_width(cr, 1.6);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    const double a = (24 - size) / 2, b = a + size;
    cairo_move_to(cr, a, a);
    cairo_line_to(cr, b, b);
    cairo_move_to(cr, b, a);
    cairo_line_to(cr, a, b);
    cairo_stroke(cr);
}

void Dash(cairo_t* cr, std::uint32_t color) {
    Rgba(cr, color);
    cairo_set_line_width(cr, 1.6);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_move_to(cr, 7, 12);
    cairo_line_to(cr, 17, 12);
    cairo_stroke(cr);
}

void StateBack(cairo_t* cr, int state) {
    if (state == 0) return;
    Rgba(cr, state == 1 ? 0x1A000000 : 0x33000000);
    RoundRect(cr, 0, 0, 24, 24, 4);
    cairo_fill(cr);
}

}  // namespace

std::string PrivateFolder(const std::string& tag) {
    const char* root = std::getenv("QV_TEST_ROOT");
    fs::path base = root && *root ? fs::path(root) : fs::temp_directory_path();
    return (base / (tag + "." + std::to_string(getpid()))).string();
}

std::string DataFolder() { return QV_TOOLKIT_TEST_DATA; }

bool WriteFolder(const std::string& folder) {
    const fs::path dir(folder);
    std::error_code ec;
    fs::create_directories(dir, ec);
    bool ok = true;
    for (const auto& entry : fs::directory_iterator(fs::path(DataFolder()) / "skin", ec))
        ok &= fs::copy_file(entry.path(), dir / entry.path().filename(), fs::copy_options::overwrite_existing, ec);
    ok &= Png(dir / "bg.png", 600, 400, [](cairo_t* cr) {
        cairo_pattern_t* p = cairo_pattern_create_linear(0, 0, 0, 400);
        cairo_pattern_add_color_stop_rgb(p, 0, 0.91, 0.95, 1.0);
        cairo_pattern_add_color_stop_rgb(p, 0.35, 1, 1, 1);
        cairo_pattern_add_color_stop_rgb(p, 1, 1, 1, 1);
        cairo_set_source(cr, p);
        cairo_paint(cr);
        cairo_pattern_destroy(p);
    });
    for (int s = 0; s < 3; ++s) {
        const std::uint32_t c = s == 0 ? 0xFF6B7280 : 0xFF1F2937;
        ok &= Png(dir / ("close" + std::to_string(s + 1) + ".png"), 24, 24, [&](cairo_t* cr) {
            StateBack(cr, s);
            Cross(cr, c, 9);
        });
        ok &= Png(dir / ("min" + std::to_string(s + 1) + ".png"), 24, 24, [&](cairo_t* cr) {
            StateBack(cr, s);
            Dash(cr, c);
        });
    }
    ok &= Png(dir / "logo.png", 48, 48, [](cairo_t* cr) {
        cairo_pattern_t* p = cairo_pattern_create_linear(0, 0, 48, 48);
        cairo_pattern_add_color_stop_rgb(p, 0, 0.13, 0.59, 0.95);
        cairo_pattern_add_color_stop_rgb(p, 1, 0.10, 0.35, 0.80);
        RoundRect(cr, 2, 2, 44, 44, 11);
        cairo_set_source(cr, p);
        cairo_fill(cr);
        cairo_pattern_destroy(p);
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_set_line_width(cr, 4);
        cairo_arc(cr, 24, 24, 10, 0, 2 * M_PI);
        cairo_stroke(cr);
    });
    ok &= Png(dir / "check0.png", 18, 18, [](cairo_t* cr) {
        RoundRect(cr, 1.5, 1.5, 15, 15, 3);
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_fill_preserve(cr);
        Rgba(cr, 0xFFB8C0CC);
        cairo_set_line_width(cr, 1);
        cairo_stroke(cr);
    });
    ok &= Png(dir / "check1.png", 18, 18, [](cairo_t* cr) {
        RoundRect(cr, 1, 1, 16, 16, 3);
        Rgba(cr, 0xFF2196F3);
        cairo_fill(cr);
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_set_line_width(cr, 2);
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
        cairo_move_to(cr, 4.5, 9);
        cairo_line_to(cr, 7.5, 12);
        cairo_line_to(cr, 13.5, 6);
        cairo_stroke(cr);
    });
    ok &= Png(dir / "arrow.png", 15, 15, [](cairo_t* cr) {
        Rgba(cr, 0xFF6B7280);
        cairo_set_line_width(cr, 1.6);
        cairo_move_to(cr, 3.5, 5.5);
        cairo_line_to(cr, 7.5, 9.5);
        cairo_line_to(cr, 11.5, 5.5);
        cairo_stroke(cr);
    });
    ok &= Png(dir / "edit.png", 40, 40, [](cairo_t* cr) {
        RoundRect(cr, 0.5, 0.5, 39, 39, 4);
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_fill_preserve(cr);
        Rgba(cr, 0xFFC8CDD4);
        cairo_set_line_width(cr, 1);
        cairo_stroke(cr);
    });
    ok &= Png(dir / "track.png", 40, 10, [](cairo_t* cr) {
        RoundRect(cr, 0, 0, 40, 10, 5);
        Rgba(cr, 0xFFE6EBF2);
        cairo_fill(cr);
    });
    ok &= Png(dir / "fill.png", 40, 10, [](cairo_t* cr) {
        RoundRect(cr, 0, 0, 40, 10, 5);
        Rgba(cr, 0xFF2196F3);
        cairo_fill(cr);
    });
    // Nine-slice probe: 10-pixel corners red, edges green, centre blue.
    ok &= Png(dir / "nine.png", 30, 30, [](cairo_t* cr) {
        Rgba(cr, 0xFF00FF00);
        cairo_paint(cr);
        Rgba(cr, 0xFFFF0000);
        for (int x : {0, 20})
            for (int y : {0, 20}) cairo_rectangle(cr, x, y, 10, 10);
        cairo_fill(cr);
        Rgba(cr, 0xFF0000FF);
        cairo_rectangle(cr, 10, 10, 10, 10);
        cairo_fill(cr);
    });
    // Mask probe: magenta background to be keyed out, a black square in the middle.
    ok &= Png(dir / "masked.png", 20, 20, [](cairo_t* cr) {
        Rgba(cr, 0xFFFF00FF);
        cairo_paint(cr);
        Rgba(cr, 0xFF000000);
        cairo_rectangle(cr, 5, 5, 10, 10);
        cairo_fill(cr);
    });
    // High-density probe: the 1x file is plain green; its "@2x" file has one-pixel black and
    // white columns, which only a pixel-exact 2x drawing reproduces.
    ok &= Png(dir / "dense.png", 20, 20, [](cairo_t* cr) {
        Rgba(cr, 0xFF00FF00);
        cairo_paint(cr);
    });
    ok &= Png(dir / "dense@2x.png", 40, 40, [](cairo_t* cr) {
        Rgba(cr, 0xFFFFFFFF);
        cairo_paint(cr);
        Rgba(cr, 0xFF000000);
        for (int x = 0; x < 40; x += 2) cairo_rectangle(cr, x, 0, 1, 40);
        cairo_fill(cr);
    });
    return ok;
}

std::vector<std::uint8_t> MakeZip(const std::string& folder) {
    std::vector<std::uint8_t> out;
    const fs::path zipPath = fs::path(folder).string() + ".zip";
    int err = 0;
    zip_t* z = zip_open(zipPath.string().c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    if (!z) return out;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file()) continue;
        const std::string name = fs::relative(entry.path(), folder).generic_string();
        zip_source_t* src = zip_source_file(z, entry.path().string().c_str(), 0, -1);
        if (src) zip_file_add(z, name.c_str(), src, ZIP_FL_OVERWRITE);
    }
    if (zip_close(z) != 0) {
        zip_discard(z);
        return out;
    }
    std::ifstream in(zipPath, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    const std::string bytes = ss.str();
    out.assign(bytes.begin(), bytes.end());
    return out;
}

}  // namespace TestSkin
