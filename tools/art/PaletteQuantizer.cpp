#include "PaletteQuantizer.h"

#include <libimagequant.h>

#include <algorithm>
#include <memory>
#include <numeric>

namespace Art {

namespace {

struct LiqDeleter {
    void operator()(liq_attr* p) const { liq_attr_destroy(p); }
    void operator()(liq_image* p) const { liq_image_destroy(p); }
    void operator()(liq_result* p) const { liq_result_destroy(p); }
};
using LiqAttr = std::unique_ptr<liq_attr, LiqDeleter>;
using LiqImage = std::unique_ptr<liq_image, LiqDeleter>;
using LiqResult = std::unique_ptr<liq_result, LiqDeleter>;

}  // namespace

bool PaletteQuantizer::Quantize(const RgbaImage& image, int maxColors, float dither, IndexedImage& out) {
    const LiqAttr attr(liq_attr_create());
    if (!attr || liq_set_max_colors(attr.get(), maxColors) != LIQ_OK || liq_set_speed(attr.get(), 4) != LIQ_OK)
        return false;
    const LiqImage img(liq_image_create_rgba(attr.get(), image.Pixels().data(), image.Width(), image.Height(), 0));
    if (!img) return false;
    liq_result* raw = nullptr;
    if (liq_image_quantize(img.get(), attr.get(), &raw) != LIQ_OK || !raw) return false;
    const LiqResult result(raw);
    if (liq_set_dithering_level(result.get(), dither) != LIQ_OK) return false;

    std::vector<std::uint8_t> indices(static_cast<std::size_t>(image.Width()) * image.Height());
    if (liq_write_remapped_image(result.get(), img.get(), indices.data(), indices.size()) != LIQ_OK) return false;
    const liq_palette* pal = liq_get_palette(result.get());
    if (!pal || pal->count == 0 || pal->count > 256) return false;

    // Entries that are not opaque go first so that the transparency chunk stays short; the
    // order is otherwise the library's, and stable, so the output is reproducible.
    std::vector<unsigned> order(pal->count);
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(),
                     [pal](unsigned a, unsigned b) { return (pal->entries[a].a == 255) < (pal->entries[b].a == 255); });
    std::vector<std::uint8_t> remap(pal->count);
    IndexedImage result_image;
    for (unsigned i = 0; i < order.size(); ++i) {
        const liq_color c = pal->entries[order[i]];
        remap[order[i]] = static_cast<std::uint8_t>(i);
        if (c.a == 0)
            result_image.palette.push_back({0, 0, 0, 0});
        else
            result_image.palette.push_back({c.r, c.g, c.b, c.a});
    }
    for (auto& i : indices) i = remap[i];
    result_image.indices = std::move(indices);
    out = std::move(result_image);
    return true;
}

RgbaImage PaletteQuantizer::Expand(const IndexedImage& indexed, int width, int height) {
    RgbaImage image(width, height);
    auto& px = image.Pixels();
    for (std::size_t i = 0; i < indexed.indices.size() && 4 * i + 3 < px.size(); ++i) {
        const auto& c = indexed.palette[indexed.indices[i]];
        std::copy(c.begin(), c.end(), px.begin() + static_cast<std::ptrdiff_t>(4 * i));
    }
    return image;
}

}  // namespace Art
