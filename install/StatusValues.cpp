#include "install/StatusValues.h"

#include <cmath>

#include "utils/NumberParsing.h"
#include "utils/StringUtils.h"

namespace StatusValues {

bool TakeKey(std::wstring_view line, std::wstring_view key, size_t maxChars, bool trimmed, std::wstring& rest) {
    if (line.substr(0, key.size()) != key) return false;
    rest.assign(line.substr(key.size(), maxChars));
    if (trimmed) rest = Utils::Trim(rest);
    return true;
}

double ReadNumber(const std::wstring& text) {
    const auto v = Utils::ParseLeadingDouble(text);
    return v && std::isfinite(*v) ? *v : 0.0;
}

int ReadInt(const std::wstring& text) { return Utils::ParseLeadingInt(text).value_or(0); }

std::wstring Decode(std::string_view bytes, unsigned codePage) {
    if (bytes.empty()) return {};
    return Utils::MultiByteToWide(std::string(bytes), codePage);
}

}  // namespace StatusValues
