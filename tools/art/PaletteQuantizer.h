#pragma once
// Reduces a picture to at most 256 colours with libimagequant, whose colour error weighs
// alpha the way compositing does (a colour under low alpha matters little). A build tool only:
// nothing the installer links uses it.
#include <cstdint>
#include <vector>

#include "PngEncoder.h"
#include "RgbaImage.h"

namespace Art {

struct IndexedImage {
    std::vector<PngEncoder::Rgba> palette;  // non-opaque entries first, zero alpha as 0,0,0,0
    std::vector<std::uint8_t> indices;      // width*height entries into `palette`
};

class PaletteQuantizer {
public:
    // maxColors: 2..256. dither: 0 (none: flat areas stay flat and compress well) to 1 (full
    // Floyd-Steinberg). Returns false when the library fails; the output is then untouched.
    static bool Quantize(const RgbaImage& image, int maxColors, float dither, IndexedImage& out);

    // The picture an indexed image stands for, to measure it against the original.
    static RgbaImage Expand(const IndexedImage& indexed, int width, int height);
};

}  // namespace Art
