#pragma once
// How visibly a shipped image bands where its drawing is a smooth gradient. PSNR averages the
// error over the whole picture, so a narrow ramp cut into a few flat steps (a comet's tail, a
// thin glow) barely moves it while the eye sees every step. The eye averages fine dither, so
// the measure compares local means, not single pixels.
#include <array>
#include <cstddef>
#include <vector>

#include "RgbaImage.h"

namespace Art {

// The largest difference, in premultiplied 8-bit levels, between the mean of a
// (2*radius+1)-square window of `shipped` and the same window of `reference`, over the windows
// whose reference pixels all lie on a smooth gradient: no premultiplied channel changes by more
// than `smoothStep` levels per pixel of distance from the window's centre. Windows touching an
// edge of the drawing, or a fully clear centre, are skipped (edges are not gradients), so a
// ramp narrower than the window is not measured; the encoder dithers such ramps anyway
// (GradientRemapper). 0 for identical images; +infinity when the sizes differ.
double GradientBanding(const RgbaImage& reference, const RgbaImage& shipped, int radius = 2,
                       double smoothStep = 12);

// The same measure with the reference's side (its smooth windows and their sums) worked out
// once, for an encoder that measures many candidates against one drawing. Gives exactly
// GradientBanding's figures.
class BandingReference {
public:
    explicit BandingReference(const RgbaImage& reference, int radius = 2, double smoothStep = 12);
    double Against(const RgbaImage& shipped) const;

private:
    int width_, height_, radius_;
    std::vector<std::size_t> centres_;         // first sample of each smooth window's centre pixel
    std::vector<std::array<double, 4>> sums_;  // the reference's sums over those windows
};

}  // namespace Art
