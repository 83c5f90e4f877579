// Image decoding on Linux: gdk-pixbuf reads the file (any format it has a loader for).
#include "toolkit/ImageCache.h"

#include <cairo.h>
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cstdint>

#include "toolkit/GObjectPtr.h"

namespace Toolkit {
namespace {

// Copies a pixbuf (RGB or RGBA, straight alpha) into a premultiplied ARGB32 surface.
cairo_surface_t* SurfaceFromPixbuf(GdkPixbuf* pixbuf) {
    const int w = gdk_pixbuf_get_width(pixbuf);
    const int h = gdk_pixbuf_get_height(pixbuf);
    const int channels = gdk_pixbuf_get_n_channels(pixbuf);
    const int srcStride = gdk_pixbuf_get_rowstride(pixbuf);
    const guchar* src = gdk_pixbuf_read_pixels(pixbuf);
    if (gdk_pixbuf_get_bits_per_sample(pixbuf) != 8 || (channels != 3 && channels != 4)) return nullptr;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return nullptr;
    }
    cairo_surface_flush(surface);
    unsigned char* dst = cairo_image_surface_get_data(surface);
    const int dstStride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < h; ++y) {
        const guchar* s = src + static_cast<size_t>(y) * srcStride;
        auto* d = reinterpret_cast<uint32_t*>(dst + static_cast<size_t>(y) * dstStride);
        for (int x = 0; x < w; ++x, s += channels) {
            const uint32_t a = channels == 4 ? s[3] : 255;
            const uint32_t r = (s[0] * a + 127) / 255, g = (s[1] * a + 127) / 255, b = (s[2] * a + 127) / 255;
            d[x] = (a << 24) | (r << 16) | (g << 8) | b;
        }
    }
    cairo_surface_mark_dirty(surface);
    return surface;
}

}  // namespace

// A thread is cheap here: the first frame's images decode while the window is mapped.
bool ImageCache::PreloadOnWorker() { return true; }

std::shared_ptr<const Image> ImageCache::Decode(const std::string& bytes) {
    if (bytes.empty()) return nullptr;
    auto loader = GObjectPtr<GdkPixbufLoader>::Adopt(gdk_pixbuf_loader_new());
    GError* err = nullptr;
    bool ok = gdk_pixbuf_loader_write(loader.get(), reinterpret_cast<const guchar*>(bytes.data()), bytes.size(), &err);
    if (err) g_clear_error(&err);
    ok = gdk_pixbuf_loader_close(loader.get(), ok ? &err : nullptr) && ok;
    if (err) g_clear_error(&err);
    if (!ok) return nullptr;
    GdkPixbuf* pixbuf = gdk_pixbuf_loader_get_pixbuf(loader.get());  // owned by the loader
    if (!pixbuf) return nullptr;
    cairo_surface_t* s = SurfaceFromPixbuf(pixbuf);
    if (!s) return nullptr;
    return std::make_shared<Image>(s, gdk_pixbuf_get_width(pixbuf), gdk_pixbuf_get_height(pixbuf));
}

}  // namespace Toolkit
