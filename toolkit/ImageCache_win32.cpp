// Image decoding on Windows: cairo's own PNG reader (libpng, linked with cairo). The skin holds
// PNG files only; this reader needs no COM apartment on the user-interface thread or the
// preload worker (WIC would, and the window host owns that thread's apartment), and it hands
// back cairo's premultiplied pixels directly.
#include "toolkit/ImageCache.h"

#include <cairo.h>

#include <algorithm>
#include <cstdint>
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

// Keys the RGB24 surface an ARGB32 view of its pixels keeps alive.
const cairo_user_data_key_t kPixelOwner{};

void DestroyOwner(void* surface) { cairo_surface_destroy(static_cast<cairo_surface_t*>(surface)); }

// Opaque PNGs come back as RGB24, whose top byte is undefined; every image the cache holds is
// ARGB32 with that byte the alpha. The pixels are made opaque where they lie and the same memory
// is handed out as ARGB32, the RGB24 surface living on as its owner: a copy would hold two
// window-sized buffers at once for a background, and the heap keeps the freed one resident.
SurfacePtr ToArgb32(SurfacePtr surface) {
    const cairo_format_t format = cairo_image_surface_get_format(surface.get());
    if (format == CAIRO_FORMAT_ARGB32) return surface;
    const int w = cairo_image_surface_get_width(surface.get()), h = cairo_image_surface_get_height(surface.get());
    if (format == CAIRO_FORMAT_RGB24) {
        cairo_surface_flush(surface.get());
        unsigned char* data = cairo_image_surface_get_data(surface.get());
        const int stride = cairo_image_surface_get_stride(surface.get());
        if (!data || stride < cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, w)) return nullptr;
        for (int y = 0; y < h; ++y) {
            auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::size_t>(y) * stride);
            for (int x = 0; x < w; ++x) row[x] |= 0xFF000000u;
        }
        SurfacePtr view(cairo_image_surface_create_for_data(data, CAIRO_FORMAT_ARGB32, w, h, stride));
        if (cairo_surface_status(view.get()) != CAIRO_STATUS_SUCCESS ||
            cairo_surface_set_user_data(view.get(), &kPixelOwner, surface.get(), DestroyOwner) != CAIRO_STATUS_SUCCESS)
            return nullptr;
        surface.release();  // owned by the view now
        return view;
    }
    // Any other layout is painted into an ARGB32 surface of its own.
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

// Not here: under wine a thread keeps about 1 MiB of resident stack (and 2-3 MiB committed)
// until another thread ends, while the first frame's few PNGs decode in milliseconds. With the
// font warm-up also kept off a worker, the installer window starts under wine with 2.5 MiB less
// working set and 3.2 MiB less committed memory (bench_win32_installer).
bool ImageCache::PreloadOnWorker() { return false; }

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
