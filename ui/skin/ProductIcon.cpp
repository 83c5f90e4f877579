#include "ui/skin/ProductIcon.h"

#include "ui/skin/EmbeddedResources.h"

namespace Skin {

std::vector<std::span<const std::uint8_t>> ProductIconImages() {
    std::vector<std::span<const std::uint8_t>> images;
    for (const char* name : {"145", "145@2x"}) {
        const auto bytes = FindEmbeddedResource("ICON", name);
        if (!bytes.empty()) images.push_back(bytes);
    }
    return images;
}

std::vector<std::vector<unsigned char>> ProductIconPngFiles() {
    std::vector<std::vector<unsigned char>> files;
    for (const auto& png : ProductIconImages()) files.emplace_back(png.begin(), png.end());
    return files;
}

}  // namespace Skin
