// The system's profile calls on Windows: GetPrivateProfileStringW, GetPrivateProfileIntW and
// WritePrivateProfileStringW, each under the file's lock (see ProfileLock) so that our
// processes never interleave a read-modify-write of one file. The module's own parser, used
// for the edits the system's calls cannot make (several keys at once), reads and writes the
// same forms of text as these calls.
#include "utils/ProfileFile.h"

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "utils/ProfileLock_win32.h"
#include "utils/ProfileUpdate.h"
#include "utils/StringUtils.h"
#include "utils/WindowsApi_win32.h"

namespace Utils {
namespace {

constexpr char kUtf8Mark[] = "\xEF\xBB\xBF";
constexpr char kUtf16LeMark[] = "\xFF\xFE";

// The system's calls read a relative name from the Windows folder, not the working folder:
// give them the full path the caller meant.
std::wstring FullPath(const std::filesystem::path& file) {
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(file, ec);
    return (ec ? file : full).native();
}

std::wstring AnsiToWide(std::string_view bytes) {
    if (bytes.empty() || bytes.size() > INT_MAX) return {};
    const int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (n <= 0) return {};
    std::wstring out(static_cast<size_t>(n), L'\0');
    const int done = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), out.data(), n);
    out.resize(done > 0 ? static_cast<size_t>(done) : 0);
    return out;
}

// As the system's writer does: a character the code page lacks becomes its default character.
std::string WideToAnsi(const std::wstring& text) {
    if (text.empty() || text.size() > INT_MAX) return {};
    const int n = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string out(static_cast<size_t>(n), '\0');
    const int done =
        WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    out.resize(done > 0 ? static_cast<size_t>(done) : 0);
    return out;
}

}  // namespace

namespace detail {

ProfileEncoding DefaultProfileEncoding() { return ProfileEncoding::SystemCodePage; }

std::string DecodeProfileBytes(std::string_view bytes, ProfileEncoding& encoding) {
    if (bytes.substr(0, 2) == kUtf16LeMark) {
        encoding = ProfileEncoding::Utf16Le;
        bytes.remove_prefix(2);
        std::u16string units(bytes.size() / 2, u'\0');
        for (size_t i = 0; i < units.size(); ++i)
            units[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                             (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
        return ToUtf8(units);
    }
    if (bytes.substr(0, 3) == kUtf8Mark) {
        encoding = ProfileEncoding::Utf8;
        return std::string(bytes);  // the parser skips the mark
    }
    encoding = ProfileEncoding::SystemCodePage;
    return ToUtf8(AnsiToWide(bytes));
}

std::string EncodeProfileText(std::string_view utf8, ProfileEncoding encoding) {
    switch (encoding) {
        case ProfileEncoding::Utf8:
            return kUtf8Mark + std::string(utf8);
        case ProfileEncoding::Utf16Le: {
            std::string out = kUtf16LeMark;
            for (const char16_t unit : Utf16FromUtf8(utf8)) {
                out += static_cast<char>(unit & 0xFF);
                out += static_cast<char>(unit >> 8);
            }
            return out;
        }
        case ProfileEncoding::SystemCodePage:
            break;
    }
    return WideToAnsi(FromUtf8(utf8));
}

}  // namespace detail

std::wstring GetProfileString(std::wstring_view section, std::wstring_view key, std::wstring_view fallback,
                              size_t bufferChars, const std::filesystem::path& file) {
    if (bufferChars == 0) return {};
    const auto target = ResolveProfileTarget(file).value_or(file);
    const std::wstring path = FullPath(target);
    const std::wstring s(section), k(key), f(fallback);
    std::vector<wchar_t> buffer(std::min<size_t>(bufferChars, UINT_MAX / 2));
    ProfileLock lock(target);
    // Read even without the lock: a reader must never hang on a hostile holder, and the worst
    // it can see is a file in the middle of the system's own rewrite.
    const DWORD n = GetPrivateProfileStringW(s.c_str(), k.c_str(), f.c_str(), buffer.data(),
                                             static_cast<DWORD>(buffer.size()), path.c_str());
    return std::wstring(buffer.data(), std::min<size_t>(n, buffer.size() - 1));
}

int GetProfileInt(std::wstring_view section, std::wstring_view key, int fallback, const std::filesystem::path& file) {
    const auto target = ResolveProfileTarget(file).value_or(file);
    const std::wstring path = FullPath(target);
    const std::wstring s(section), k(key);
    ProfileLock lock(target);
    return static_cast<int>(GetPrivateProfileIntW(s.c_str(), k.c_str(), fallback, path.c_str()));
}

bool WriteProfileString(std::wstring_view section, std::wstring_view key, std::wstring_view value,
                        const std::filesystem::path& file) {
    // The same refusals as on Linux, found before any file is touched: text that would change
    // the file's structure.
    if (ProfileFile probe; !probe.Set(section, key, value)) return false;
    const auto target = ResolveProfileTarget(file);
    if (!target) return false;
    const std::wstring path = FullPath(*target);
    const std::wstring s(section), k(key), v(value);
    ProfileLock lock(*target);
    if (!lock.Held()) return false;
    return WritePrivateProfileStringW(s.c_str(), k.c_str(), v.c_str(), path.c_str()) != 0;
}

}  // namespace Utils
