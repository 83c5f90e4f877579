#pragma once
// Read-only data linked into the executable at build time (the skin package, the product
// icon), looked up like the resources of a Windows module: by type and name, both compared
// without case ("ZIPRES"/"IDR_SKIN", "ICON"/"145").
//
// Where the data lives depends on the system: on Linux in a read-only object the build
// generates (skin/CMakeLists.txt), on Windows in the executable's own resource section (its
// resource script, app/win32/). A program linked without them finds nothing, which callers
// treat as a missing resource. On Windows "ICON"/"145" is the first PNG image of icon group
// 145, ordered by size, and "145@2x" the next larger one.
//
// Thread: any; the data is constant.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace Skin {

// The bytes of a resource; empty when there is no such resource.
std::span<const std::uint8_t> FindEmbeddedResource(std::string_view type, std::string_view name);
// Number of resources the lookup can serve (0 when the program carries none).
std::size_t EmbeddedResourceCount();

}  // namespace Skin
