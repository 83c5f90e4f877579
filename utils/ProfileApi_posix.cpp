// The system's profile calls on Linux: this module itself, over UTF-8 files.
#include "utils/ProfileFile.h"
#include "utils/ProfileUpdate.h"

namespace Utils {

namespace detail {

ProfileEncoding DefaultProfileEncoding() { return ProfileEncoding::Utf8; }

// A byte-order mark is left to the parser, which skips it.
std::string DecodeProfileBytes(std::string_view bytes, ProfileEncoding& encoding) {
    encoding = ProfileEncoding::Utf8;
    return std::string(bytes);
}

std::string EncodeProfileText(std::string_view utf8, ProfileEncoding) { return std::string(utf8); }

}  // namespace detail

std::wstring GetProfileString(std::wstring_view section, std::wstring_view key, std::wstring_view fallback,
                              size_t bufferChars, const std::filesystem::path& file) {
    if (bufferChars == 0) return {};
    std::wstring value = ProfileFile::Load(file).Get(section, key).value_or(std::wstring(fallback));
    if (value.size() > bufferChars - 1) value.resize(bufferChars - 1);
    return value;
}

int GetProfileInt(std::wstring_view section, std::wstring_view key, int fallback, const std::filesystem::path& file) {
    return ProfileFile::Load(file).GetInt(section, key, fallback);
}

bool WriteProfileString(std::wstring_view section, std::wstring_view key, std::wstring_view value,
                        const std::filesystem::path& file) {
    // A refusal depends only on the names and the value: found before any file is touched.
    if (ProfileFile probe; !probe.Set(section, key, value)) return false;
    return UpdateProfileFile(file, [&](ProfileFile& p) { return p.Set(section, key, value); });
}

}  // namespace Utils
