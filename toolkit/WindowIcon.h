#pragma once
// The product icon of every top-level window: one picture as PNG files at several sizes (the
// 1x and 2x renderings linked into the executable). Set once at start-up; windows created
// afterwards take it, and the windows already open get it at once.
//
// Thread: the user-interface thread.
#include <vector>

namespace Toolkit {

void SetWindowIconImages(std::vector<std::vector<unsigned char>> pngFiles);
// The files last set (empty before the first call).
const std::vector<std::vector<unsigned char>>& WindowIconImages();

}  // namespace Toolkit
