// The drawing stack the installer's windows stand on: cairo drawing into a GDI bitmap that GDI
// and cairo both see, anti-aliased edges, and PNG files written and read back through libpng,
// including paths outside the ANSI code page and damaged files.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <type_traits>

#include "tests/support/TempDir.h"
#include "utils/WindowsApi_win32.h"
#include <cairo-win32.h>
#include <cairo.h>

using testsupport::TempDir;

namespace {

struct SurfaceDeleter {
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
using Surface = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;

struct ContextDeleter {
    void operator()(cairo_t* cr) const { cairo_destroy(cr); }
};
using Context = std::unique_ptr<cairo_t, ContextDeleter>;

struct GdiObjectDeleter {
    void operator()(HBRUSH brush) const { ::DeleteObject(brush); }
};
using Brush = std::unique_ptr<std::remove_pointer_t<HBRUSH>, GdiObjectDeleter>;

// The 32-bit pixel at (x, y) of an image surface, as cairo stores it (native-endian ARGB,
// premultiplied; the top byte is undefined for RGB24).
std::uint32_t PixelAt(cairo_surface_t* image, int x, int y) {
    cairo_surface_flush(image);
    const unsigned char* row =
        cairo_image_surface_get_data(image) + y * cairo_image_surface_get_stride(image);
    std::uint32_t pixel;
    std::memcpy(&pixel, row + x * 4, sizeof pixel);
    return pixel;
}

// Pixels whose channel at bit `shift` lies strictly between `low` and `high`: where a drawing's
// flat values are `low` and `high`, only an anti-aliased edge makes them.
int PixelsBetween(cairo_surface_t* image, int shift, std::uint32_t low, std::uint32_t high) {
    int between = 0;
    for (int y = 0; y < cairo_image_surface_get_height(image); ++y) {
        for (int x = 0; x < cairo_image_surface_get_width(image); ++x) {
            const std::uint32_t value = PixelAt(image, x, y) >> shift & 0xFF;
            if (value > low && value < high) ++between;
        }
    }
    return between;
}

// A red disc on white, anti-aliased, filling the middle of a 64x48 surface.
void DrawDisc(cairo_surface_t* surface, double alpha) {
    Context cr(cairo_create(surface));
    cairo_set_source_rgb(cr.get(), 1, 1, 1);
    cairo_paint(cr.get());
    cairo_set_antialias(cr.get(), CAIRO_ANTIALIAS_DEFAULT);
    cairo_arc(cr.get(), 32, 24, 15.3, 0, 6.283185307179586);
    cairo_set_source_rgba(cr.get(), 1, 0, 0, alpha);
    cairo_fill(cr.get());
    ASSERT_EQ(cairo_status(cr.get()), CAIRO_STATUS_SUCCESS);
}

// The rows of two image surfaces of one size and format compared byte for byte (the padding
// at the end of each row is not part of the picture).
bool SamePixels(cairo_surface_t* a, cairo_surface_t* b) {
    const int width = cairo_image_surface_get_width(a);
    const int height = cairo_image_surface_get_height(a);
    if (width != cairo_image_surface_get_width(b) || height != cairo_image_surface_get_height(b) ||
        cairo_image_surface_get_format(a) != cairo_image_surface_get_format(b))
        return false;
    for (int y = 0; y < height; ++y) {
        const unsigned char* rowA = cairo_image_surface_get_data(a) + y * cairo_image_surface_get_stride(a);
        const unsigned char* rowB = cairo_image_surface_get_data(b) + y * cairo_image_surface_get_stride(b);
        if (std::memcmp(rowA, rowB, static_cast<std::size_t>(width) * 4) != 0) return false;
    }
    return true;
}

cairo_status_t AppendToString(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

struct Reader {
    const std::string* bytes;
    std::size_t offset = 0;
};
cairo_status_t ReadFromString(void* closure, unsigned char* data, unsigned int length) {
    auto* reader = static_cast<Reader*>(closure);
    if (reader->bytes->size() - reader->offset < length) return CAIRO_STATUS_READ_ERROR;
    std::memcpy(data, reader->bytes->data() + reader->offset, length);
    reader->offset += length;
    return CAIRO_STATUS_SUCCESS;
}

cairo_status_t StatusOfPng(const std::string& bytes) {
    Reader reader{&bytes};
    Surface surface(cairo_image_surface_create_from_png_stream(ReadFromString, &reader));
    return cairo_surface_status(surface.get());
}

}  // namespace

TEST(Cairo_Win32Surface, CairoAndGdiDrawIntoTheSameBitmap) {
    Surface surface(cairo_win32_surface_create_with_dib(CAIRO_FORMAT_RGB24, 64, 48));
    ASSERT_EQ(cairo_surface_status(surface.get()), CAIRO_STATUS_SUCCESS);
    HDC dc = cairo_win32_surface_get_dc(surface.get());
    ASSERT_NE(dc, nullptr);
    cairo_surface_t* image = cairo_win32_surface_get_image(surface.get());
    ASSERT_NE(image, nullptr);

    DrawDisc(surface.get(), 1.0);
    cairo_surface_flush(surface.get());
    // GDI reads what cairo drew: the middle red, the corners white, the edge blended.
    EXPECT_EQ(::GetPixel(dc, 32, 24), RGB(255, 0, 0));
    EXPECT_EQ(::GetPixel(dc, 1, 1), RGB(255, 255, 255));
    EXPECT_EQ(::GetPixel(dc, 62, 46), RGB(255, 255, 255));
    EXPECT_GT(PixelsBetween(image, 8, 0x00, 0xFF), 8);

    // And cairo reads what GDI drew, once told the bitmap changed behind its back.
    Brush blue(::CreateSolidBrush(RGB(0, 0, 255)));
    ASSERT_NE(blue, nullptr);
    const RECT corner{0, 0, 8, 8};
    ASSERT_NE(::FillRect(dc, &corner, blue.get()), 0);
    ASSERT_TRUE(::GdiFlush());
    cairo_surface_mark_dirty(surface.get());
    EXPECT_EQ(PixelAt(image, 3, 3) & 0x00FFFFFF, 0x000000FFu);
    EXPECT_EQ(PixelAt(image, 32, 24) & 0x00FFFFFF, 0x00FF0000u);
}

TEST(Cairo_Png, RoundTripsExactlyThroughAFileWithANameOutsideTheCodePage) {
    Surface drawn(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 64, 48));
    {
        // Translucent over transparent: premultiplied pixels of every alpha along the edge.
        Context cr(cairo_create(drawn.get()));
        cairo_arc(cr.get(), 32, 24, 15.3, 0, 6.283185307179586);
        cairo_set_source_rgba(cr.get(), 0.2, 0.6, 1.0, 0.5);
        cairo_fill(cr.get());
        ASSERT_EQ(cairo_status(cr.get()), CAIRO_STATUS_SUCCESS);
    }
    EXPECT_EQ(PixelAt(drawn.get(), 0, 0), 0u);
    const std::uint32_t inside = PixelAt(drawn.get(), 32, 24) >> 24;
    EXPECT_EQ(inside, 0x80u);
    EXPECT_GT(PixelsBetween(drawn.get(), 24, 0x00, inside), 8);

    TempDir dir;
    const std::filesystem::path file =
        dir.path() / std::filesystem::path(L"\u56fe\u50cf \u043e\u0431\u0440\u0430\u0437.png");
    const std::u8string utf8 = file.u8string();
    const std::string name(utf8.begin(), utf8.end());
    ASSERT_EQ(cairo_surface_write_to_png(drawn.get(), name.c_str()), CAIRO_STATUS_SUCCESS);
    ASSERT_TRUE(std::filesystem::is_regular_file(file));

    Surface read(cairo_image_surface_create_from_png(name.c_str()));
    ASSERT_EQ(cairo_surface_status(read.get()), CAIRO_STATUS_SUCCESS);
    EXPECT_TRUE(SamePixels(drawn.get(), read.get()));

    // The same picture through memory, as images embedded in the skin are read.
    std::string bytes;
    ASSERT_EQ(cairo_surface_write_to_png_stream(drawn.get(), AppendToString, &bytes), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(bytes, testsupport::ReadFile(file));
    Reader reader{&bytes};
    Surface streamed(cairo_image_surface_create_from_png_stream(ReadFromString, &reader));
    ASSERT_EQ(cairo_surface_status(streamed.get()), CAIRO_STATUS_SUCCESS);
    EXPECT_TRUE(SamePixels(drawn.get(), streamed.get()));
}

TEST(Cairo_Png, DamagedOrMissingFilesGiveAnErrorSurface) {
    Surface drawn(cairo_image_surface_create(CAIRO_FORMAT_RGB24, 64, 48));
    DrawDisc(drawn.get(), 1.0);
    std::string good;
    ASSERT_EQ(cairo_surface_write_to_png_stream(drawn.get(), AppendToString, &good), CAIRO_STATUS_SUCCESS);
    ASSERT_EQ(StatusOfPng(good), CAIRO_STATUS_SUCCESS);

    // libpng reports these by jumping out of the decoder; the caller must get an error back, not
    // a crash or a half-read picture.
    const std::size_t idat = good.find("IDAT");
    ASSERT_NE(idat, std::string::npos);
    std::string badChecksum = good;
    badChecksum[idat + 8] = static_cast<char>(badChecksum[idat + 8] ^ 0x55);
    EXPECT_NE(StatusOfPng(badChecksum), CAIRO_STATUS_SUCCESS);
    EXPECT_NE(StatusOfPng(good.substr(0, idat + 12)), CAIRO_STATUS_SUCCESS);
    EXPECT_NE(StatusOfPng("\x89PNG\r\n\x1a\n" + std::string(40, 'x')), CAIRO_STATUS_SUCCESS);
    EXPECT_NE(StatusOfPng(""), CAIRO_STATUS_SUCCESS);

    TempDir dir;
    const std::u8string missing = (dir.path() / "none.png").u8string();
    Surface absent(cairo_image_surface_create_from_png(std::string(missing.begin(), missing.end()).c_str()));
    EXPECT_EQ(cairo_surface_status(absent.get()), CAIRO_STATUS_FILE_NOT_FOUND);
}
