#include "analytics/core/Rules.h"

#include <string>

#include "analytics/core/Diagnostics.h"

namespace collect::rules {
namespace {

bool IsContinuation(unsigned char c) { return c >= 0x80 && c <= 0xBF; }
bool InRange(unsigned char c, unsigned char lo, unsigned char hi) { return c >= lo && c <= hi; }

bool IsNameStart(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '$' || c == '_';
}
bool IsNamePart(unsigned char c) { return IsNameStart(c) || (c >= '0' && c <= '9'); }

void Report(std::string_view a, std::string_view b, std::string_view c, std::string_view d = {},
            std::string_view e = {}) {
    std::string text;
    text.reserve(a.size() + b.size() + c.size() + d.size() + e.size());
    text.append(a).append(b).append(c).append(d).append(e);
    detail::ReportError(text);
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char c = p[i];
        if (c == 0x09 || c == 0x0A || c == 0x0D || (c >= 0x20 && c <= 0x7E)) {
            ++i;
            continue;
        }
        // Length of the sequence and the allowed range of its second byte.
        std::size_t len = 0;
        unsigned char lo = 0x80, hi = 0xBF;
        if (InRange(c, 0xC2, 0xDF)) {
            len = 2;
        } else if (c == 0xE0) {
            len = 3, lo = 0xA0;
        } else if (InRange(c, 0xE1, 0xEC) || c == 0xEE || c == 0xEF) {
            len = 3;
        } else if (c == 0xED) {
            len = 3, hi = 0x9F;
        } else if (c == 0xF0) {
            len = 4, lo = 0x90;
        } else if (InRange(c, 0xF1, 0xF3)) {
            len = 4;
        } else if (c == 0xF4) {
            len = 4, hi = 0x8F;
        } else {
            return false;
        }
        if (n - i < len) return false;
        if (!InRange(p[i + 1], lo, hi)) return false;
        for (std::size_t k = 2; k < len; ++k)
            if (!IsContinuation(p[i + k])) return false;
        i += len;
    }
    return true;
}

bool IsValidName(std::string_view text) {
    if (text.empty() || text.size() > kMaxNameBytes) return false;
    if (!IsNameStart(static_cast<unsigned char>(text[0]))) return false;
    for (std::size_t i = 1; i < text.size(); ++i)
        if (!IsNamePart(static_cast<unsigned char>(text[i]))) return false;
    return true;
}

bool CheckIdentifier(std::string_view label, std::string_view text) {
    if (text.empty()) {
        Report("The ", label, " is empty.\n");
        return false;
    }
    if (text.size() > kMaxIdentifierBytes) {
        Report("The ", label, " is too long, max length is 255.\n");
        return false;
    }
    return true;
}

bool CheckName(std::string_view label, std::string_view text) {
    if (text.empty() || text.size() > kMaxNameBytes) {
        Report("The ", label, " is empty or too long, max length is 100");
        return false;
    }
    if (!IsValidName(text)) {
        Report("The ", label, " need to be a valid variable name.");
        return false;
    }
    return true;
}

bool CheckStringValue(std::string_view key, std::string_view value) {
    if (value.size() > kMaxStringBytes) {
        Report("String property '", key, "' is too long, value: ", value, "\n");
        return false;
    }
    if (!IsValidUtf8(value)) {
        Report("String property '", key, "' is not valid UTF-8 string, value: ", value, "\n");
        return false;
    }
    return true;
}

}  // namespace collect::rules
