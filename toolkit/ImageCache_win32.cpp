// Image decoding on Windows: cairo's own PNG reader (libpng, linked with cairo). The skin holds
// PNG files only; this reader needs no COM apartment on the user-interface thread or the
// preload worker (WIC would, and the window host owns that thread's apartment), and it hands
// back cairo's premultiplied pixels directly.
#include "toolkit/ImageCache.h"

#include <cairo.h>

#include <algorithm>
#include <cstring>

namespace Toolkit {
namespace {

struct Reader {
    const std::string& bytes;
    std::size_t offset = 0;
};

cairo_status_t ReadBytes(void* closure, unsigned char* data, unsigned int length) {
    auto* reader = static_cast<Reader*>(closure);
    if (reader->bytes.size() - reader->offset < length) return CAIRO_STATUS_READ_ERROR;
    std::memcpy(data, reader->bytes.data() + reader->offset, length);
    reader->offset += length;
    return CAIRO_STATUS_SUCCESS;
}

// Opaque PNGs come back as RGB24, whose top byte is undefined; every image the cache holds is
// ARGB32 with that byte the alpha, so such a surface is painted into one.
SurfacePtr ToArgb32(SurfacePtr surface) {
    if (cairo_image_surface_get_format(surface.get()) == CAIRO_FORMAT_ARGB32) return surface;
    const int w = cairo_image_surface_get_width(surface.get()), h = cairo_image_surface_get_height(surface.get());
    SurfacePtr argb(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h));
    if (cairo_surface_status(argb.get()) != CAIRO_STATUS_SUCCESS) return nullptr;
    const CairoPtr cr(cairo_create(argb.get()));
    cairo_set_operator(cr.get(), CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr.get(), surface.get(), 0, 0);
    cairo_paint(cr.get());
    if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS) return nullptr;
    cairo_surface_flush(argb.get());
    return argb;
}

}  // namespace

std::shared_ptr<const Image> ImageCache::Decode(const std::string& bytes) {
    if (bytes.empty()) return nullptr;
    Reader reader{bytes};
    SurfacePtr surface(cairo_image_surface_create_from_png_stream(ReadBytes, &reader));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return nullptr;
    surface = ToArgb32(std::move(surface));
    if (!surface) return nullptr;
    const int w = cairo_image_surface_get_width(surface.get()), h = cairo_image_surface_get_height(surface.get());
    return std::make_shared<Image>(surface.release(), w, h);
}

}  // namespace Toolkit
