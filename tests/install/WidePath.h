#pragma once
// A path as the wide text the install code takes.
#include <filesystem>
#include <string>

#include "utils/PathText.h"

namespace installtest {

inline std::wstring W(const std::filesystem::path& path) { return Utils::PathToWide(path); }

}  // namespace installtest
