// Image decoding on either system's decoder: what the cache holds is premultiplied ARGB32 with
// a real alpha byte, whatever the PNG's colour type; broken files decode to nothing; an image
// named by an absolute path is read from disk.
#include <cairo.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "support/TestSkin.h"
#include "toolkit/CairoPtr.h"
#include "toolkit/ImageCache.h"
#include "utils/StringUtils.h"

using namespace Toolkit;

namespace {

// The PNG file of a 2x1 surface of the given format holding the two pixels.
std::string Png(cairo_format_t format, std::uint32_t left, std::uint32_t right) {
    SurfacePtr surface(cairo_image_surface_create(format, 2, 1));
    cairo_surface_flush(surface.get());
    auto* row = reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(surface.get()));
    row[0] = left;
    row[1] = right;
    cairo_surface_mark_dirty(surface.get());
    std::string bytes;
    cairo_surface_write_to_png_stream(
        surface.get(),
        [](void* out, const unsigned char* data, unsigned int length) {
            static_cast<std::string*>(out)->append(reinterpret_cast<const char*>(data), length);
            return CAIRO_STATUS_SUCCESS;
        },
        &bytes);
    return bytes;
}

std::uint32_t Pixel(const Image& image, int x) {
    cairo_surface_flush(image.Surface());
    return reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(image.Surface()))[x];
}

void ExpectNear(std::uint32_t actual, std::uint32_t expected) {
    for (int shift = 0; shift < 32; shift += 8)
        EXPECT_NEAR(static_cast<int>((actual >> shift) & 0xFF), static_cast<int>((expected >> shift) & 0xFF), 1)
            << std::hex << actual << " vs " << expected;
}

}  // namespace

TEST(ImageDecode, TranslucentPixelsArePremultipliedAndOpaqueFilesGetFullAlpha) {
    // Half-transparent red (stored straight in the file) and a fully transparent pixel.
    auto translucent = ImageCache::Decode(Png(CAIRO_FORMAT_ARGB32, 0x80800000u, 0x00000000u));
    ASSERT_TRUE(translucent);
    EXPECT_EQ(cairo_image_surface_get_format(translucent->Surface()), CAIRO_FORMAT_ARGB32);
    EXPECT_EQ(translucent->Width(), 2);
    EXPECT_EQ(translucent->Height(), 1);
    ExpectNear(Pixel(*translucent, 0), 0x80800000u);
    EXPECT_EQ(Pixel(*translucent, 1), 0u);
    // A file without alpha: every pixel opaque in the cache (masks and fades read that byte).
    auto opaque = ImageCache::Decode(Png(CAIRO_FORMAT_RGB24, 0x00123456u, 0x00FFFFFFu));
    ASSERT_TRUE(opaque);
    EXPECT_EQ(cairo_image_surface_get_format(opaque->Surface()), CAIRO_FORMAT_ARGB32);
    EXPECT_EQ(Pixel(*opaque, 0), 0xFF123456u);
    EXPECT_EQ(Pixel(*opaque, 1), 0xFFFFFFFFu);
}

TEST(ImageDecode, EmptyTruncatedAndForeignBytesDecodeToNothing) {
    const std::string png = Png(CAIRO_FORMAT_ARGB32, 0xFF0000FFu, 0xFF00FF00u);
    EXPECT_FALSE(ImageCache::Decode(""));
    EXPECT_FALSE(ImageCache::Decode(png.substr(0, 8)));               // the signature alone
    EXPECT_FALSE(ImageCache::Decode(png.substr(0, png.size() / 2)));  // cut in its data
    EXPECT_FALSE(ImageCache::Decode(std::string(64, '\0')));
}

TEST(ImageDecode, AnAbsolutePathIsReadFromDisk) {
    const std::filesystem::path dir = TestSkin::PrivateFolder("qv_image_on_disk");
    std::filesystem::create_directories(dir);
    const std::filesystem::path file = dir / "fill.png";
    std::ofstream(file, std::ios::binary) << Png(CAIRO_FORMAT_ARGB32, 0xFF0000FFu, 0xFF0000FFu);
    ImageCache cache;
    auto image = cache.Get(file.wstring());
    ASSERT_TRUE(image);
    EXPECT_EQ(Pixel(*image, 1), 0xFF0000FFu);
    EXPECT_FALSE(cache.Get((dir / "none.png").wstring()));
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}
