#pragma once
// File-system paths as wide text and back. The path's own characters are wide on Windows and
// UTF-8 bytes on Linux (every OS boundary speaks UTF-8 there); path::string() would instead go
// through the Windows ANSI code page and lose what it cannot hold.
#include <filesystem>
#include <string>
#include <type_traits>

#include "utils/StringUtils.h"

namespace Utils {
namespace detail {

template <typename Native>
std::wstring NativeToWide(const Native& native) {
    if constexpr (std::is_same_v<typename Native::value_type, wchar_t>) return native;
    else return FromUtf8(native);
}

template <typename Native>
Native WideToNative(const std::wstring& text) {
    if constexpr (std::is_same_v<typename Native::value_type, wchar_t>) return text;
    else return ToUtf8(text);
}

}  // namespace detail

inline std::wstring PathToWide(const std::filesystem::path& path) { return detail::NativeToWide(path.native()); }

inline std::filesystem::path PathFromWide(const std::wstring& text) {
    return std::filesystem::path(detail::WideToNative<std::filesystem::path::string_type>(text));
}

}  // namespace Utils
