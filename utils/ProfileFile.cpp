#include "utils/ProfileFile.h"

#include <cstdint>
#include <fstream>
#include <sstream>

#include "utils/StringUtils.h"

namespace Utils {
namespace {

std::string_view TrimView(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

// "[name]" -> name; nullopt for any other line.
std::optional<std::string_view> SectionName(std::string_view line) {
    line = TrimView(line);
    if (line.empty() || line.front() != '[') return std::nullopt;
    const size_t close = line.find(']');
    std::string_view name = close == std::string_view::npos ? line.substr(1) : line.substr(1, close - 1);
    return TrimView(name);
}

struct KeyValue {
    std::string_view key;
    std::string_view value;
};

std::optional<KeyValue> SplitKeyValue(std::string_view line) {
    std::string_view t = TrimView(line);
    if (t.empty() || t.front() == ';' || t.front() == '[') return std::nullopt;
    const size_t eq = t.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    std::string_view value = TrimView(t.substr(eq + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return KeyValue{TrimView(t.substr(0, eq)), value};
}

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\v' || c == L'\f'; }

// The same blanks as TrimView, for the caller's names.
std::wstring_view TrimBlanks(std::wstring_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

// Names from the file are already trimmed; the caller's name is trimmed the same way.
bool SameName(std::string_view a, std::wstring_view b) { return EqualsNoCase(FromUtf8(a), TrimBlanks(b)); }

bool HasLineBreak(std::wstring_view s) {
    return s.find_first_of(L"\r\n") != std::wstring_view::npos || s.find(L'\0') != std::wstring_view::npos;
}

}  // namespace

ProfileFile ProfileFile::Parse(std::string_view text) {
    ProfileFile p;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    p.endsWithNewline_ = text.empty() || text.back() == '\n';
    size_t start = 0;
    while (start < text.size()) {
        size_t nl = text.find('\n', start);
        if (nl == std::string_view::npos) nl = text.size();
        std::string_view line = text.substr(start, nl - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        p.lines_.emplace_back(line);
        start = nl + 1;
    }
    return p;
}

ProfileFile ProfileFile::FromFileBytes(std::string_view bytes) {
    ProfileEncoding encoding = detail::DefaultProfileEncoding();
    const std::string text = detail::DecodeProfileBytes(bytes, encoding);
    ProfileFile p = Parse(text);
    p.encoding_ = encoding;
    return p;
}

std::string ProfileFile::ToFileBytes() const { return detail::EncodeProfileText(Serialize(), encoding_); }

ProfileFile ProfileFile::Load(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return {};
    std::ostringstream ss;
    ss << in.rdbuf();
    return FromFileBytes(ss.str());
}

std::optional<ProfileFile> ProfileFile::LoadForUpdate(const std::filesystem::path& file) {
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) return ec ? std::nullopt : std::optional<ProfileFile>(ProfileFile{});
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream ss;
    ss << in.rdbuf();
    if (in.bad()) return std::nullopt;
    return FromFileBytes(ss.str());
}

std::optional<ProfileFile::Range> ProfileFile::FindSection(std::wstring_view section) const {
    for (size_t i = 0; i < lines_.size(); ++i) {
        const auto name = SectionName(lines_[i]);
        if (!name || !SameName(*name, section)) continue;
        size_t end = i + 1;
        while (end < lines_.size() && !SectionName(lines_[end])) ++end;
        return Range{i, end};
    }
    return std::nullopt;
}

bool ProfileFile::HasSection(std::wstring_view section) const { return FindSection(section).has_value(); }

std::optional<std::wstring> ProfileFile::Get(std::wstring_view section, std::wstring_view key) const {
    const auto range = FindSection(section);
    if (!range) return std::nullopt;
    for (size_t i = range->header + 1; i < range->end; ++i) {
        const auto kv = SplitKeyValue(lines_[i]);
        if (kv && SameName(kv->key, key)) return FromUtf8(kv->value);
    }
    return std::nullopt;
}

bool ProfileFile::Set(std::wstring_view section, std::wstring_view key, std::wstring_view value) {
    const std::wstring_view trimmedKey = TrimBlanks(key);
    if (trimmedKey.empty() || HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value) ||
        key.find(L'=') != std::wstring_view::npos || trimmedKey.front() == L'[' || trimmedKey.front() == L';' ||
        section.find(L']') != std::wstring_view::npos)
        return false;
    const std::string line = ToUtf8(key) + "=" + ToUtf8(value);
    auto range = FindSection(section);
    if (!range) {
        if (!lines_.empty() && !lines_.back().empty()) lines_.emplace_back();
        lines_.push_back("[" + ToUtf8(section) + "]");
        lines_.push_back(line);
        endsWithNewline_ = true;
        return true;
    }
    for (size_t i = range->header + 1; i < range->end; ++i) {
        const auto kv = SplitKeyValue(lines_[i]);
        if (kv && SameName(kv->key, key)) {
            lines_[i] = line;
            return true;
        }
    }
    // Insert after the section's last non-blank line, so blank separators stay between sections.
    size_t at = range->end;
    while (at > range->header + 1 && TrimView(lines_[at - 1]).empty()) --at;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), line);
    if (at == lines_.size() - 1) endsWithNewline_ = true;
    return true;
}

bool ProfileFile::Remove(std::wstring_view section, std::wstring_view key) {
    const auto range = FindSection(section);
    if (!range) return false;
    bool removed = false;
    for (size_t i = range->end; i-- > range->header + 1;) {
        const auto kv = SplitKeyValue(lines_[i]);
        if (kv && SameName(kv->key, key)) {
            lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i));
            removed = true;
        }
    }
    return removed;
}

std::string ProfileFile::Serialize() const {
    std::string out;
    for (size_t i = 0; i < lines_.size(); ++i) {
        out += lines_[i];
        if (i + 1 < lines_.size() || endsWithNewline_) out += '\n';
    }
    return out;
}

int ProfileFile::GetInt(std::wstring_view section, std::wstring_view key, int fallback) const {
    // As the system's integer read: blanks skipped, a sign, "0x"/"0X" for hexadecimal, digits
    // accumulated as a 32-bit unsigned number (out-of-range values wrap), an empty value is
    // no value.
    const auto value = Get(section, key);
    if (!value || value->empty()) return fallback;
    const std::wstring& s = *value;
    size_t i = 0;
    while (i < s.size() && s[i] <= L' ') ++i;
    if (i == s.size()) return fallback;
    bool negative = false;
    if (s[i] == L'-' || s[i] == L'+') negative = s[i++] == L'-';
    uint32_t base = 10;
    if (i + 1 < s.size() && s[i] == L'0' && (s[i + 1] == L'x' || s[i + 1] == L'X')) {
        base = 16;
        i += 2;
    }
    uint32_t n = 0;
    for (; i < s.size(); ++i) {
        uint32_t digit;
        const wchar_t c = s[i];
        if (c >= L'0' && c <= L'9') digit = static_cast<uint32_t>(c - L'0');
        else if (base == 16 && c >= L'a' && c <= L'f') digit = static_cast<uint32_t>(c - L'a' + 10);
        else if (base == 16 && c >= L'A' && c <= L'F') digit = static_cast<uint32_t>(c - L'A' + 10);
        else break;
        n = n * base + digit;  // unsigned: wraps modulo 2^32
    }
    if (negative) n = 0u - n;
    return static_cast<int32_t>(n);
}

}  // namespace Utils
