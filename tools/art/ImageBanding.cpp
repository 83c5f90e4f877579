#include "ImageBanding.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

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

BandingReference::BandingReference(const RgbaImage& reference, int radius, double smoothStep)
    : width_(reference.Width()), height_(reference.Height()), radius_(radius) {
    const int w = width_, h = height_;
    const std::vector<float> a = Premultiplied(reference);
    for (int y = radius; y < h - radius; ++y) {
        for (int x = radius; x < w - radius; ++x) {
            const std::size_t centre = 4 * (static_cast<std::size_t>(y) * w + x);
            if (a[centre + 3] == 0) continue;
            bool smooth = true;
            std::array<double, 4> sum{0, 0, 0, 0};
            for (int dy = -radius; dy <= radius && smooth; ++dy) {
                for (int dx = -radius; dx <= radius && smooth; ++dx) {
                    const std::size_t i = 4 * (static_cast<std::size_t>(y + dy) * w + (x + dx));
                    const double limit = smoothStep * std::max(std::abs(dx), std::abs(dy));
                    for (int c = 0; c < 4; ++c) {
                        if (std::fabs(a[i + c] - a[centre + c]) > limit) smooth = false;
                        sum[c] += a[i + c];
                    }
                }
            }
            if (!smooth) continue;
            centres_.push_back(centre);
            sums_.push_back(sum);
        }
    }
}

double BandingReference::Against(const RgbaImage& shipped) const {
    if (width_ != shipped.Width() || height_ != shipped.Height()) return std::numeric_limits<double>::infinity();
    const std::vector<float> b = Premultiplied(shipped);
    const double area = (2.0 * radius_ + 1) * (2.0 * radius_ + 1);
    const std::size_t row = 4 * static_cast<std::size_t>(width_);
    double worst = 0;
    for (std::size_t k = 0; k < centres_.size(); ++k) {
        double sum[4] = {0, 0, 0, 0};
        // The window's samples in the order the reference's sums took them.
        const std::size_t first = centres_[k] - radius_ * row - 4 * radius_;
        for (int dy = 0; dy <= 2 * radius_; ++dy) {
            for (int dx = 0; dx <= 2 * radius_; ++dx) {
                const std::size_t i = first + dy * row + 4 * dx;
                for (int c = 0; c < 4; ++c) sum[c] += b[i + c];
            }
        }
        for (int c = 0; c < 4; ++c) worst = std::max(worst, std::fabs(sums_[k][c] - sum[c]) / area);
    }
    return worst;
}

double GradientBanding(const RgbaImage& reference, const RgbaImage& shipped, int radius, double smoothStep) {
    if (reference.Width() != shipped.Width() || reference.Height() != shipped.Height())
        return std::numeric_limits<double>::infinity();
    return BandingReference(reference, radius, smoothStep).Against(shipped);
}

}  // namespace Art
