#pragma once
// Maps a picture onto a given palette, nearest colour per pixel, except on smooth gradients
// whose nearest colour lies visibly far off: there the error is diffused (Floyd-Steinberg)
// into the neighbouring gradient pixels, so a ramp the palette cannot follow level by level is
// shown as a fine mix of its two neighbouring entries instead of a few flat steps. Flat areas
// and pixels the palette already matches closely stay plain, so they keep compressing well;
// this is what makes it cheaper than dithering the whole picture.
#include <cstdint>
#include <vector>

#include "PaletteQuantizer.h"
#include "RgbaImage.h"

namespace Art {

class GradientRemapper {
public:
    // `palette` as PaletteQuantizer makes it (straight alpha, at most 256 entries, not empty).
    // A pixel is dithered when its neighbours differ from it by at most `smoothStep`
    // premultiplied levels and its nearest entry is more than `threshold` levels off on some
    // premultiplied channel. Returns `palette` with the new indices; an empty palette gives an
    // empty result.
    static IndexedImage Remap(const RgbaImage& image, const std::vector<PngEncoder::Rgba>& palette,
                              float threshold = 2.0f, float smoothStep = 12.0f);
};

}  // namespace Art
