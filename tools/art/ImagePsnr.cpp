#include "ImagePsnr.h"

#include <cmath>
#include <cstddef>
#include <limits>

namespace Art {

double PremultipliedPsnr(const RgbaImage& a, const RgbaImage& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height())
        return -std::numeric_limits<double>::infinity();
    const auto& pa = a.Pixels();
    const auto& pb = b.Pixels();
    if (pa.empty()) return std::numeric_limits<double>::infinity();
    // Sums of squares in 1/255 units stay exact enough in double for any skin-sized image.
    double sum = 0;
    for (std::size_t i = 0; i < pa.size(); i += 4) {
        const double alphaA = pa[i + 3], alphaB = pb[i + 3];
        for (int c = 0; c < 3; ++c) {
            const double d = (pa[i + c] * alphaA - pb[i + c] * alphaB) / 255.0;
            sum += d * d;
        }
        sum += (alphaA - alphaB) * (alphaA - alphaB);
    }
    if (sum == 0) return std::numeric_limits<double>::infinity();
    const double mse = sum / static_cast<double>(pa.size());
    return 10 * std::log10(255.0 * 255.0 / mse);
}

}  // namespace Art
