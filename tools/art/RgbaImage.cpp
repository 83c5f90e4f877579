#include "RgbaImage.h"

#include <png.h>

#include <cstring>

namespace Art {

namespace {

// Frees what png_image_begin_read_* allocated on every path out.
struct PngImageGuard {
    png_image* image;
    ~PngImageGuard() { png_image_free(image); }
};

bool FinishRead(png_image& png, RgbaImage& image, std::string& error) {
    PngImageGuard guard{&png};
    if (PNG_IMAGE_FAILED(png)) {
        error = png.message;
        return false;
    }
    // The tools handle skin images of a few hundred pixels; a header claiming more is damage.
    if (png.width == 0 || png.height == 0 || png.width > 16384 || png.height > 16384) {
        error = "unreasonable image size";
        return false;
    }
    png.format = PNG_FORMAT_RGBA;
    RgbaImage out(static_cast<int>(png.width), static_cast<int>(png.height));
    if (!png_image_finish_read(&png, nullptr, out.Pixels().data(), 0, nullptr)) {
        error = png.message;
        return false;
    }
    image = std::move(out);
    return true;
}

}  // namespace

RgbaImage::RgbaImage(int width, int height)
    : width_(width), height_(height), pixels_(static_cast<std::size_t>(width) * height * 4) {}

bool RgbaImage::LoadPng(const std::string& path, RgbaImage& image, std::string& error) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png_image_begin_read_from_file(&png, path.c_str());
    return FinishRead(png, image, error);
}

bool RgbaImage::DecodePng(const std::string& bytes, RgbaImage& image, std::string& error) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png_image_begin_read_from_memory(&png, bytes.data(), bytes.size());
    return FinishRead(png, image, error);
}

RgbaImage RgbaImage::FromCairoArgb32(const unsigned char* data, int width, int height, int stride) {
    RgbaImage out(width, height);
    std::uint8_t* dst = out.pixels_.data();
    for (int y = 0; y < height; ++y) {
        const unsigned char* row = data + static_cast<std::size_t>(y) * stride;
        for (int x = 0; x < width; ++x, dst += 4) {
            std::uint32_t px;
            std::memcpy(&px, row + 4 * x, 4);
            const unsigned a = px >> 24;
            if (a == 0) {
                dst[0] = dst[1] = dst[2] = dst[3] = 0;
                continue;
            }
            const unsigned c[3] = {(px >> 16) & 0xFF, (px >> 8) & 0xFF, px & 0xFF};
            for (int i = 0; i < 3; ++i) dst[i] = static_cast<std::uint8_t>((c[i] * 255 + a / 2) / a);
            dst[3] = static_cast<std::uint8_t>(a);
        }
    }
    return out;
}

}  // namespace Art
