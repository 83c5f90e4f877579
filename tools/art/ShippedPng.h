#pragma once
// Chooses how one skin image is stored: the smallest palette form whose PSNR against the drawn
// picture stays at or above the floor and whose gradients show no visible steps, or the exact
// picture when none does.
#include <limits>
#include <string>

#include "RgbaImage.h"

namespace Art {

class ShippedPng {
public:
    struct Result {
        std::string png;     // the file's bytes; empty when encoding failed
        double psnr = 0;     // premultiplied PSNR of what `png` decodes to (infinity: exact)
        double banding = 0;  // GradientBanding of what `png` decodes to (0: exact)
        int colours = 0;     // palette size, 0 for the exact (truecolor) form
    };

    // minPsnr: the floor in dB; maxBanding: the most GradientBanding (levels) allowed. An
    // image no tried palette holds within both is written losslessly, so both always hold.
    static Result Encode(const RgbaImage& image, double minPsnr,
                         double maxBanding = std::numeric_limits<double>::infinity());
};

}  // namespace Art
