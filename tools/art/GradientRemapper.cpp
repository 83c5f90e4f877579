#include "GradientRemapper.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <unordered_map>

namespace Art {

namespace {

using Sample = std::array<float, 4>;  // premultiplied r, g, b and alpha, 0..255

Sample Premultiply(const std::uint8_t* c) {
    const float a = c[3] / 255.0f;
    return {c[0] * a, c[1] * a, c[2] * a, static_cast<float>(c[3])};
}

class Nearest {
public:
    explicit Nearest(const std::vector<PngEncoder::Rgba>& palette) {
        for (const auto& c : palette) entries_.push_back(Premultiply(c.data()));
    }
    int operator()(const Sample& s) const {
        int best = 0;
        float bestDistance = INFINITY;
        for (std::size_t j = 0; j < entries_.size(); ++j) {
            float d = 0;
            for (int c = 0; c < 4; ++c) d += (s[c] - entries_[j][c]) * (s[c] - entries_[j][c]);
            if (d < bestDistance) {
                bestDistance = d;
                best = static_cast<int>(j);
            }
        }
        return best;
    }
    const Sample& operator[](int i) const { return entries_[static_cast<std::size_t>(i)]; }

private:
    std::vector<Sample> entries_;
};

}  // namespace

IndexedImage GradientRemapper::Remap(const RgbaImage& image, const std::vector<PngEncoder::Rgba>& palette,
                                     float threshold, float smoothStep) {
    IndexedImage out;
    if (palette.empty() || palette.size() > 256) return out;
    const int w = image.Width(), h = image.Height();
    const std::size_t n = static_cast<std::size_t>(w) * h;
    const Nearest nearest(palette);
    std::vector<Sample> pixels(n);
    for (std::size_t i = 0; i < n; ++i) pixels[i] = Premultiply(image.Pixels().data() + 4 * i);

    std::vector<bool> smooth(n, false);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * w + x;
            if (pixels[i][3] == 0) continue;  // clear stays exactly clear
            bool ok = true;
            for (const auto [dx, dy] : {std::array{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
                const int nx = x + dx, ny = y + dy;
                if (nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
                const Sample& o = pixels[static_cast<std::size_t>(ny) * w + nx];
                for (int c = 0; c < 4; ++c) ok = ok && std::fabs(o[c] - pixels[i][c]) <= smoothStep;
            }
            smooth[i] = ok;
        }

    // Most pictures repeat few colours: the plain nearest entry is looked up once per colour.
    std::unordered_map<std::uint32_t, int> cache;
    std::vector<Sample> carried(n, Sample{0, 0, 0, 0});
    out.indices.resize(n);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * w + x;
            std::uint32_t key = 0;
            if (pixels[i][3] != 0) std::memcpy(&key, image.Pixels().data() + 4 * i, 4);
            auto it = cache.find(key);
            if (it == cache.end()) it = cache.emplace(key, nearest(pixels[i])).first;
            int index = it->second;
            if (smooth[i]) {
                float off = 0;
                for (int c = 0; c < 4; ++c) off = std::max(off, std::fabs(pixels[i][c] - nearest[index][c]));
                if (off > threshold) {
                    Sample wanted;
                    for (int c = 0; c < 4; ++c) wanted[c] = pixels[i][c] + carried[i][c];
                    index = nearest(wanted);
                    Sample error;
                    for (int c = 0; c < 4; ++c) error[c] = wanted[c] - nearest[index][c];
                    // Only gradient pixels take a share: an edge or a flat area never picks up noise.
                    const auto pass = [&](int nx, int ny, float share) {
                        if (nx < 0 || nx >= w || ny >= h) return;
                        const std::size_t j = static_cast<std::size_t>(ny) * w + nx;
                        if (!smooth[j]) return;
                        for (int c = 0; c < 4; ++c) carried[j][c] += error[c] * share;
                    };
                    pass(x + 1, y, 7 / 16.0f);
                    pass(x - 1, y + 1, 3 / 16.0f);
                    pass(x, y + 1, 5 / 16.0f);
                    pass(x + 1, y + 1, 1 / 16.0f);
                }
            }
            out.indices[i] = static_cast<std::uint8_t>(index);
        }
    }
    out.palette = palette;
    return out;
}

}  // namespace Art
