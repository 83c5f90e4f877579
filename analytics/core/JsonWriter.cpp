#include "analytics/core/JsonWriter.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "analytics/core/LocalTime.h"

namespace collect::json {

void AppendString(std::string& out, std::string_view text) {
    out.reserve(out.size() + text.size() + 2);
    out.push_back('"');
    for (const char c : text) {
        switch (c) {
            case '\b': out.append("\\b"); break;
            case '\t': out.append("\\t"); break;
            case '\n': out.append("\\n"); break;
            case '\f': out.append("\\f"); break;
            case '\r': out.append("\\r"); break;
            case '"': out.append("\\\""); break;
            case '\\': out.append("\\\\"); break;
            default: out.push_back(c); break;
        }
    }
    out.push_back('"');
}

void AppendNumber(std::string& out, double value) {
    if (!std::isfinite(value)) {
        out.append("null");
        return;
    }
    // std::to_chars with a precision is specified as printf("%.6g") in the C locale, which is
    // what an output stream with default flags and precision writes.
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 6);
    out.append(buffer, result.ptr);
}

void AppendInteger(std::string& out, std::int64_t value) {
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

void AppendBool(std::string& out, bool value) { out.append(value ? "true" : "false"); }

void AppendDateTime(std::string& out, std::int64_t seconds, std::int32_t milliseconds) {
    std::tm local{};
    const std::time_t t = static_cast<std::time_t>(seconds);
    if (!collect::detail::LocalTime(t, local)) local = std::tm{.tm_mday = 0, .tm_mon = -1, .tm_year = -1900};
    char buffer[96];
    const int n = std::snprintf(buffer, sizeof buffer, "\"%04lld-%02d-%02d %02d:%02d:%02d.%03d\"",
                                static_cast<long long>(local.tm_year) + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                                local.tm_min, local.tm_sec, milliseconds);
    if (n > 0) out.append(buffer, static_cast<std::size_t>(n) < sizeof buffer ? n : sizeof buffer - 1);
}

}  // namespace collect::json
