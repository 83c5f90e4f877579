#pragma once
// Writes PNG files as small as plain zlib makes them: only the critical chunks (no gamma, no
// text, no time), the narrowest pixel format that holds the picture exactly, and of several
// row-filter choices and deflate strategies at maximum effort the one that comes out smallest.
// The output depends only on the input: two runs give the same bytes.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "RgbaImage.h"

namespace Art {

class PngEncoder {
public:
    using Rgba = std::array<std::uint8_t, 4>;

    // Lossless: RGB when every pixel is opaque, RGBA otherwise. Pixels of zero alpha are
    // written as 0,0,0,0 whatever colour they carried (they show nothing, and one value for
    // all of them compresses best). Empty string when zlib fails.
    static std::string Truecolor(const RgbaImage& image);

    // An indexed image: `indices` holds width*height entries into `palette` (at most 256
    // colours, straight alpha). Written at 1, 2, 4 or 8 bits per pixel as the palette size
    // allows, with a transparency chunk only as long as the last non-opaque entry needs.
    // Empty string when the input is inconsistent or zlib fails.
    static std::string Indexed(int width, int height, const std::vector<Rgba>& palette,
                               const std::vector<std::uint8_t>& indices);

private:
    // Raw (unfiltered) rows, `rowBytes` each, pixels of `bpp` bytes (1 for packed indices).
    static std::string SmallestIdat(const std::vector<std::uint8_t>& raw, int height, std::size_t rowBytes, int bpp);
    static void AppendChunk(std::string& png, const char* type, const std::string& data);
};

}  // namespace Art
