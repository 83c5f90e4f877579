#include "ui/skin/EmbeddedResources.h"

#include "ui/skin/EmbeddedResourceTable.h"
#include "utils/StringUtils.h"

// Defined by the generated resource object; weak so that programs without it still link and
// simply find no resource.
extern "C" {
extern const QvEmbeddedResource qv_embedded_resources[] __attribute__((weak));
extern const unsigned qv_embedded_resource_count __attribute__((weak));
}

namespace Skin {

namespace {

bool SameNoCase(std::string_view a, std::string_view b) {
    return Utils::AsciiLower(std::string(a)) == Utils::AsciiLower(std::string(b));
}

}  // namespace

std::size_t EmbeddedResourceCount() {
    if (&qv_embedded_resource_count == nullptr || qv_embedded_resources == nullptr) return 0;
    return qv_embedded_resource_count;
}

std::span<const std::uint8_t> FindEmbeddedResource(std::string_view type, std::string_view name) {
    const std::size_t count = EmbeddedResourceCount();
    for (std::size_t i = 0; i < count; ++i) {
        const QvEmbeddedResource& r = qv_embedded_resources[i];
        if (SameNoCase(r.type, type) && SameNoCase(r.name, name))
            return {r.begin, static_cast<std::size_t>(r.end - r.begin)};
    }
    return {};
}

}  // namespace Skin
