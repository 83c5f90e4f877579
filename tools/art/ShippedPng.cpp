#include "ShippedPng.h"

#include "GradientRemapper.h"
#include "ImageBanding.h"
#include "ImagePsnr.h"
#include "PaletteQuantizer.h"
#include "PngEncoder.h"

namespace Art {

ShippedPng::Result ShippedPng::Encode(const RgbaImage& image, double minPsnr, double maxBanding) {
    // Fewer colours make smaller indices to pack and flatter areas to deflate, down to the
    // point where the picture falls below the floor; the smallest file that keeps both limits
    // wins. Each palette is mapped with only the steep gradients dithered: flat areas stay flat,
    // and a ramp the palette cannot follow shows no steps. That also covers ramps too thin for
    // the banding measure to see (a comet's tail at 1x), at a cost of a few percent over plain
    // mapping. Full-picture dithering is not tried: its noise deflates badly.
    Result best;
    const BandingReference banding(image);
    const auto consider = [&](const IndexedImage& indexed) {
        const RgbaImage shown = PaletteQuantizer::Expand(indexed, image.Width(), image.Height());
        const double psnr = PremultipliedPsnr(image, shown);
        if (psnr < minPsnr) return false;
        const double bands = banding.Against(shown);
        if (bands > maxBanding) return true;  // above the floor: fewer colours may still do
        std::string png = PngEncoder::Indexed(image.Width(), image.Height(), indexed.palette, indexed.indices);
        if (!png.empty() && (best.png.empty() || png.size() < best.png.size())) {
            best.png = std::move(png);
            best.psnr = psnr;
            best.banding = bands;
            best.colours = static_cast<int>(indexed.palette.size());
        }
        return true;
    };
    for (int colours : {256, 128, 96, 64, 48, 32, 24, 16}) {
        IndexedImage plain;
        if (!PaletteQuantizer::Quantize(image, colours, 0.0f, plain)) break;
        if (!consider(GradientRemapper::Remap(image, plain.palette))) break;
    }
    if (!best.png.empty()) return best;
    // No palette holds the picture well enough: the exact form.
    best.png = PngEncoder::Truecolor(image);
    best.psnr = PremultipliedPsnr(image, image);
    best.banding = 0;
    best.colours = 0;
    return best;
}

}  // namespace Art
