#pragma once
// The product icon linked into the executable ("ICON"/"145"), as PNG files: the 1x image first,
// then the 2x one for high-density screens. Empty when the program was linked without the
// resource object.
//
// Thread: any; the bytes are constant for the life of the process.
#include <cstdint>
#include <span>
#include <vector>

namespace Skin {

std::vector<std::span<const std::uint8_t>> ProductIconImages();
// The same as copies, in the form the toolkit's window-icon call takes:
//   Toolkit::SetWindowIconImages(Skin::ProductIconPngFiles());
std::vector<std::vector<unsigned char>> ProductIconPngFiles();

}  // namespace Skin
