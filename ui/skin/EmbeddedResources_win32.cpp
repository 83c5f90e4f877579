// The linked resources read back from the executable's resource section. The resource script
// stores the skin package as a named resource of a named type and the product icon as an icon
// group whose entries are PNG images; the lookup keeps the portable names of the Linux table
// ("ZIPRES"/"IDR_SKIN", "ICON"/"145", "ICON"/"145@2x").
#include "ui/skin/EmbeddedResources.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "utils/StringUtils.h"
#include "utils/WindowsApi_win32.h"

namespace Skin {

namespace {

constexpr std::string_view kIconType = "ICON";
constexpr std::string_view kTwiceSuffix = "@2x";
constexpr std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

// The executable's own module: the installer links the user interface statically, so the
// resources are always the exe's, whichever library asks.
HMODULE OwnModule() { return ::GetModuleHandleW(nullptr); }

// The bytes of a found resource; empty when it cannot be loaded. Loaded resources stay mapped
// with the module (nothing to free).
std::span<const std::uint8_t> Bytes(HRSRC info) {
    if (info == nullptr) return {};
    const HMODULE module = OwnModule();
    const DWORD size = ::SizeofResource(module, info);
    HGLOBAL loaded = ::LoadResource(module, info);
    if (size == 0 || loaded == nullptr) return {};
    const void* data = ::LockResource(loaded);
    if (data == nullptr) return {};
    return {static_cast<const std::uint8_t*>(data), size};
}

// Resource names and types are compared without case by the system only for letters it upper-
// cases itself; names in our table are ASCII, so upper-casing them here keeps "zipres" working.
std::wstring UpperWide(std::string_view text) {
    std::wstring wide;
    wide.reserve(text.size());
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        wide.push_back(static_cast<wchar_t>(u >= 'a' && u <= 'z' ? u - 'a' + 'A' : u));
    }
    return wide;
}

bool SameNoCase(std::string_view a, std::string_view b) {
    return Utils::AsciiLower(std::string(a)) == Utils::AsciiLower(std::string(b));
}

// One entry of an icon group's directory as the resource compiler stores it (packed: 14 bytes).
struct IconEntry {
    unsigned width;  // 256 is stored as 0
    std::uint16_t id;
};

// The group's entries, smallest first; empty for a missing or cut-off directory.
std::vector<IconEntry> IconGroupEntries(WORD groupId) {
    const auto dir = Bytes(::FindResourceW(OwnModule(), MAKEINTRESOURCEW(groupId), RT_GROUP_ICON));
    constexpr std::size_t kHeader = 6, kEntry = 14;
    if (dir.size() < kHeader) return {};
    const std::size_t count = dir[4] | (dir[5] << 8);
    if (dir.size() < kHeader + count * kEntry) return {};
    std::vector<IconEntry> entries;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* e = dir.data() + kHeader + i * kEntry;
        const unsigned width = e[0] == 0 ? 256u : e[0];
        entries.push_back({width, static_cast<std::uint16_t>(e[12] | (e[13] << 8))});
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const IconEntry& a, const IconEntry& b) { return a.width < b.width; });
    return entries;
}

bool IsPng(std::span<const std::uint8_t> bytes) {
    return bytes.size() > sizeof kPngSignature && std::memcmp(bytes.data(), kPngSignature, sizeof kPngSignature) == 0;
}

// "145" -> (145, 0), "145@2x" -> (145, 1); nothing for any other form.
std::optional<std::pair<WORD, std::size_t>> ParseIconName(std::string_view name) {
    std::size_t index = 0;
    if (name.size() > kTwiceSuffix.size() && SameNoCase(name.substr(name.size() - kTwiceSuffix.size()), kTwiceSuffix)) {
        name.remove_suffix(kTwiceSuffix.size());
        index = 1;
    }
    if (name.empty() || name.size() > 5) return std::nullopt;
    unsigned id = 0;
    for (char c : name) {
        if (c < '0' || c > '9') return std::nullopt;
        id = id * 10 + static_cast<unsigned>(c - '0');
    }
    if (id == 0 || id > 0xFFFF) return std::nullopt;
    return std::make_pair(static_cast<WORD>(id), index);
}

std::span<const std::uint8_t> FindIconImage(std::string_view name) {
    const auto parsed = ParseIconName(name);
    if (!parsed) return {};
    const auto entries = IconGroupEntries(parsed->first);
    if (parsed->second >= entries.size()) return {};
    const auto image =
        Bytes(::FindResourceW(OwnModule(), MAKEINTRESOURCEW(entries[parsed->second].id), RT_ICON));
    // Callers decode PNG; a bitmap-style entry is no image for them.
    return IsPng(image) ? image : std::span<const std::uint8_t>{};
}

BOOL CALLBACK CountName(HMODULE, LPCWSTR, LPWSTR, LONG_PTR counter) {
    ++*reinterpret_cast<std::size_t*>(counter);
    return TRUE;
}

BOOL CALLBACK CountGroupImages(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR counter) {
    if (IS_INTRESOURCE(name)) {
        for (const IconEntry& entry : IconGroupEntries(static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name)))) {
            if (IsPng(Bytes(::FindResourceW(OwnModule(), MAKEINTRESOURCEW(entry.id), RT_ICON))))
                ++*reinterpret_cast<std::size_t*>(counter);
        }
    }
    return TRUE;
}

}  // namespace

std::size_t EmbeddedResourceCount() {
    std::size_t count = 0;
    // A type the module does not have ends the enumeration with an error: it counts nothing.
    ::EnumResourceNamesW(OwnModule(), L"ZIPRES", CountName, reinterpret_cast<LONG_PTR>(&count));
    ::EnumResourceNamesW(OwnModule(), RT_GROUP_ICON, CountGroupImages, reinterpret_cast<LONG_PTR>(&count));
    return count;
}

std::span<const std::uint8_t> FindEmbeddedResource(std::string_view type, std::string_view name) {
    if (type.empty() || name.empty()) return {};
    if (SameNoCase(type, kIconType)) return FindIconImage(name);
    const std::wstring wideType = UpperWide(type);
    const std::wstring wideName = UpperWide(name);
    return Bytes(::FindResourceW(OwnModule(), wideName.c_str(), wideType.c_str()));
}

}  // namespace Skin
