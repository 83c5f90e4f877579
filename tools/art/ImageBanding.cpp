#include "ImageBanding.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <vector>

namespace Art {

namespace {

// Premultiplied samples as floats, one array of 4 per pixel.
std::vector<float> Premultiplied(const RgbaImage& image) {
    const auto& px = image.Pixels();
    std::vector<float> out(px.size());
    for (std::size_t i = 0; i < px.size(); i += 4) {
        const float a = px[i + 3] / 255.0f;
        for (int c = 0; c < 3; ++c) out[i + c] = px[i + c] * a;
        out[i + 3] = px[i + 3];
    }
    return out;
}

}  // namespace

double GradientBanding(const RgbaImage& reference, const RgbaImage& shipped, int radius, double smoothStep) {
    const int w = reference.Width(), h = reference.Height();
    if (w != shipped.Width() || h != shipped.Height()) return std::numeric_limits<double>::infinity();
    const std::vector<float> a = Premultiplied(reference), b = Premultiplied(shipped);
    const double area = (2.0 * radius + 1) * (2.0 * radius + 1);
    double worst = 0;
    for (int y = radius; y < h - radius; ++y) {
        for (int x = radius; x < w - radius; ++x) {
            const std::size_t centre = 4 * (static_cast<std::size_t>(y) * w + x);
            if (a[centre + 3] == 0) continue;
            bool smooth = true;
            double sumA[4] = {0, 0, 0, 0}, sumB[4] = {0, 0, 0, 0};
            for (int dy = -radius; dy <= radius && smooth; ++dy) {
                for (int dx = -radius; dx <= radius && smooth; ++dx) {
                    const std::size_t i = 4 * (static_cast<std::size_t>(y + dy) * w + (x + dx));
                    const double limit = smoothStep * std::max(std::abs(dx), std::abs(dy));
                    for (int c = 0; c < 4; ++c) {
                        if (std::fabs(a[i + c] - a[centre + c]) > limit) smooth = false;
                        sumA[c] += a[i + c];
                        sumB[c] += b[i + c];
                    }
                }
            }
            if (!smooth) continue;
            for (int c = 0; c < 4; ++c) worst = std::max(worst, std::fabs(sumA[c] - sumB[c]) / area);
        }
    }
    return worst;
}

}  // namespace Art
