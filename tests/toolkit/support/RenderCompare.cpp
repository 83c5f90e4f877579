// Compares two renderings of one window (PNG files of the same size), as the two builds draw
// it: the Linux offscreen renderer and the Windows one under wine.
//   qv_render_compare EXPECTED.png ACTUAL.png [DIFF.png]
// Shapes, images and colours come from the same cairo on both systems and must agree; text is
// laid out by Pango on one and DirectWrite on the other, so glyph edges may be shaded a little
// differently (Pango's hinted outlines against unhinted ones). The comparison is therefore made
// on 16x16 tiles: a tile's mean colour may differ by at most kTileTolerance in any channel, and
// the mean over the whole window by at most kWindowTolerance. Anti-aliasing moves ink between
// neighbouring pixels but keeps a tile's amount of it: the skin's windows measured at most 14
// (the 36-pixel title; body text stays under 5). What the comparison is for changes a tile by
// far more: a missing or other image, a wrong colour, a word not drawn, a line broken in another
// place, a title moved by four pixels (measured 35 to 40). Shifts of a few pixels within a tile
// and single stray pixels are below it. Prints the figures; DIFF.png
// shows the failing tiles in red over a faded copy of ACTUAL.
// Exit codes: 0 alike, 1 different, 2 a file cannot be read or the sizes differ.
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <vector>

namespace {

constexpr int kTile = 16;
constexpr double kTileTolerance = 24.0;   // of 255, per channel, a tile's mean
constexpr double kWindowTolerance = 1.5;  // of 255, per channel, the whole window's mean

struct Image {
    cairo_surface_t* surface = nullptr;
    ~Image() {
        if (surface) cairo_surface_destroy(surface);
    }
    int Width() const { return cairo_image_surface_get_width(surface); }
    int Height() const { return cairo_image_surface_get_height(surface); }
    // Un-premultiplied channels (alpha, red, green, blue) of a pixel: a translucent shadow
    // compares by what it shows.
    void Pixel(int x, int y, double out[4]) const {
        const auto* row = cairo_image_surface_get_data(surface) + static_cast<size_t>(y) * cairo_image_surface_get_stride(surface);
        const std::uint32_t p = reinterpret_cast<const std::uint32_t*>(row)[x];
        const double a = (p >> 24) & 0xFF;
        out[0] = a;
        for (int c = 0; c < 3; ++c) {
            const double v = (p >> (16 - 8 * c)) & 0xFF;
            out[c + 1] = a > 0 ? std::min(255.0, v * 255.0 / a) : 0.0;
        }
    }
};

bool Load(const char* path, Image& image) {
    image.surface = cairo_image_surface_create_from_png(path);
    if (cairo_surface_status(image.surface) != CAIRO_STATUS_SUCCESS) {
        std::fprintf(stderr, "cannot read %s: %s\n", path, cairo_status_to_string(cairo_surface_status(image.surface)));
        return false;
    }
    // Opaque files come as RGB24, whose top byte is undefined: give them full alpha.
    if (cairo_image_surface_get_format(image.surface) != CAIRO_FORMAT_ARGB32) {
        cairo_surface_t* argb = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, image.Width(), image.Height());
        cairo_t* cr = cairo_create(argb);
        cairo_set_source_surface(cr, image.surface, 0, 0);
        cairo_paint(cr);
        cairo_destroy(cr);
        cairo_surface_destroy(image.surface);
        image.surface = argb;
    }
    cairo_surface_flush(image.surface);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: qv_render_compare EXPECTED.png ACTUAL.png [DIFF.png]\n");
        return 2;
    }
    Image expected, actual;
    if (!Load(argv[1], expected) || !Load(argv[2], actual)) return 2;
    const int width = expected.Width(), height = expected.Height();
    if (width != actual.Width() || height != actual.Height() || width == 0 || height == 0) {
        std::fprintf(stderr, "sizes differ: %dx%d and %dx%d\n", width, height, actual.Width(), actual.Height());
        return 2;
    }
    // 1. Per tile: the mean of each channel in both images.
    const int tilesX = (width + kTile - 1) / kTile, tilesY = (height + kTile - 1) / kTile;
    std::vector<bool> failing(static_cast<size_t>(tilesX) * tilesY, false);
    double worstTile = 0, windowSum[2][4] = {};
    int failingTiles = 0;
    for (int ty = 0; ty < tilesY; ++ty) {
        for (int tx = 0; tx < tilesX; ++tx) {
            double sum[2][4] = {};
            int count = 0;
            for (int y = ty * kTile; y < std::min(height, (ty + 1) * kTile); ++y) {
                for (int x = tx * kTile; x < std::min(width, (tx + 1) * kTile); ++x) {
                    double a[4], b[4];
                    expected.Pixel(x, y, a);
                    actual.Pixel(x, y, b);
                    for (int c = 0; c < 4; ++c) {
                        sum[0][c] += a[c];
                        sum[1][c] += b[c];
                    }
                    ++count;
                }
            }
            double tileDiff = 0;
            for (int c = 0; c < 4; ++c) {
                tileDiff = std::max(tileDiff, std::fabs(sum[0][c] - sum[1][c]) / count);
                windowSum[0][c] += sum[0][c];
                windowSum[1][c] += sum[1][c];
            }
            worstTile = std::max(worstTile, tileDiff);
            if (tileDiff > kTileTolerance) {
                failing[static_cast<size_t>(ty) * tilesX + tx] = true;
                ++failingTiles;
            }
        }
    }
    // 2. The whole window.
    double windowDiff = 0;
    for (int c = 0; c < 4; ++c)
        windowDiff = std::max(windowDiff, std::fabs(windowSum[0][c] - windowSum[1][c]) / (double(width) * height));
    const bool alike = failingTiles == 0 && windowDiff <= kWindowTolerance;
    std::printf("size=%dx%d worst_tile=%.1f failing_tiles=%d window_mean_diff=%.2f %s\n", width, height, worstTile,
                failingTiles, windowDiff, alike ? "alike" : "DIFFERENT");

    // 3. The failing tiles, marked for a person to look at.
    if (argc == 4) {
        cairo_surface_t* diff = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
        cairo_t* cr = cairo_create(diff);
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_paint(cr);
        cairo_set_source_surface(cr, actual.surface, 0, 0);
        cairo_paint_with_alpha(cr, 0.35);
        cairo_set_source_rgba(cr, 1, 0, 0, 0.6);
        for (int ty = 0; ty < tilesY; ++ty)
            for (int tx = 0; tx < tilesX; ++tx)
                if (failing[static_cast<size_t>(ty) * tilesX + tx]) cairo_rectangle(cr, tx * kTile, ty * kTile, kTile, kTile);
        cairo_fill(cr);
        cairo_destroy(cr);
        const cairo_status_t written = cairo_surface_write_to_png(diff, argv[3]);
        cairo_surface_destroy(diff);
        if (written != CAIRO_STATUS_SUCCESS) std::fprintf(stderr, "cannot write %s\n", argv[3]);
    }
    return alike ? 0 : 1;
}
