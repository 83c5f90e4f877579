#include "download/ContentRange.h"

#include <charconv>

namespace Download {

namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i]) return false;
    }
    return true;
}

void SkipBlanks(std::string_view& text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
}

}  // namespace

int64_t ContentRangeStart(std::string_view line) {
    constexpr std::string_view kName = "content-range:";
    constexpr std::string_view kUnit = "bytes";
    if (!StartsWithNoCase(line, kName)) return -1;
    line.remove_prefix(kName.size());
    SkipBlanks(line);
    if (!StartsWithNoCase(line, kUnit)) return -1;
    line.remove_prefix(kUnit.size());
    SkipBlanks(line);
    // Digits only: no sign, no blank; from_chars reports a position past 63 bits as overflow.
    if (line.empty() || line.front() < '0' || line.front() > '9') return -1;
    int64_t first = -1;
    const auto [end, error] = std::from_chars(line.data(), line.data() + line.size(), first);
    if (error != std::errc() || end == line.data() + line.size() || *end != '-') return -1;
    return first;
}

}  // namespace Download
