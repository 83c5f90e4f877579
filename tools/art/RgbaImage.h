#pragma once
// An 8-bit RGBA picture with straight (not premultiplied) alpha, row after row without padding:
// the form the art tools hand between drawing, encoding and comparing.
#include <cstdint>
#include <string>
#include <vector>

namespace Art {

class RgbaImage {
public:
    RgbaImage() = default;
    RgbaImage(int width, int height);

    // Decodes any PNG (palette, grey, truecolor, with or without transparency) to straight RGBA.
    // Returns false with a reason in `error` when the file cannot be read or is not a PNG.
    static bool LoadPng(const std::string& path, RgbaImage& image, std::string& error);
    static bool DecodePng(const std::string& bytes, RgbaImage& image, std::string& error);

    // From cairo's ARGB32 layout: premultiplied, one native-endian 32-bit word per pixel, rows
    // `stride` bytes apart. Colours are un-premultiplied with the rounding cairo's own PNG writer
    // uses, so the result equals what cairo_surface_write_to_png would have stored.
    static RgbaImage FromCairoArgb32(const unsigned char* data, int width, int height, int stride);

    int Width() const { return width_; }
    int Height() const { return height_; }
    const std::vector<std::uint8_t>& Pixels() const { return pixels_; }
    std::vector<std::uint8_t>& Pixels() { return pixels_; }
    const std::uint8_t* Row(int y) const { return pixels_.data() + static_cast<std::size_t>(y) * width_ * 4; }

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<std::uint8_t> pixels_;
};

}  // namespace Art
