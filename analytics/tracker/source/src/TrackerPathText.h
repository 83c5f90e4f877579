#pragma once
// The tracker keeps its file paths as UTF-8 text (the state, the log, the staging folder handed
// to the collection core). These turn such text into a path and back without the Windows ANSI
// code page, which cannot name every user's folder; on Linux they pass the bytes unchanged.
#include <filesystem>
#include <string>

namespace varnel::tracking {

inline std::string PathText(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

inline std::filesystem::path TextPath(const std::string& text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

}  // namespace varnel::tracking
