#pragma once
// Read-only data linked into the executable at build time (the skin package, the product
// icon), looked up like the resources of a Windows module: by type and name, both compared
// without case ("ZIPRES"/"IDR_SKIN", "ICON"/"145").
//
// The data lives in an object the build generates (skin/CMakeLists.txt); a program linked
// without it finds nothing, which callers treat as a missing resource.
//
// Thread: any; the data is constant.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace Skin {

// The bytes of a resource; empty when there is no such resource.
std::span<const std::uint8_t> FindEmbeddedResource(std::string_view type, std::string_view name);
// Number of linked resources (0 without the generated object).
std::size_t EmbeddedResourceCount();

}  // namespace Skin
