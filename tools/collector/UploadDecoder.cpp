#include "tools/collector/UploadDecoder.h"

#include <zlib.h>

#include <nlohmann/json.hpp>

namespace collector {
namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

bool IsJsonSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

}  // namespace

std::optional<std::string> PercentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+') {
            out.push_back(' ');
        } else if (c == '%') {
            if (i + 2 >= text.size()) return std::nullopt;
            const int hi = HexValue(text[i + 1]), lo = HexValue(text[i + 2]);
            if (hi < 0 || lo < 0) return std::nullopt;
            out.push_back(static_cast<char>(hi << 4 | lo));
            i += 2;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::optional<std::string> Base64Decode(std::string_view text) {
    if (text.size() % 4 != 0) return std::nullopt;
    std::string out;
    out.reserve(text.size() / 4 * 3);
    for (std::size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        int v[4];
        int padding = 0;
        for (int k = 0; k < 4; ++k) {
            const char c = text[i + k];
            if (c == '=' && last && k >= 2) {
                v[k] = 0;
                ++padding;
                continue;
            }
            if (padding > 0) return std::nullopt;  // data after padding
            v[k] = Base64Value(c);
            if (v[k] < 0) return std::nullopt;
        }
        const unsigned triple = static_cast<unsigned>(v[0] << 18 | v[1] << 12 | v[2] << 6 | v[3]);
        out.push_back(static_cast<char>(triple >> 16 & 0xFF));
        if (padding < 2) out.push_back(static_cast<char>(triple >> 8 & 0xFF));
        if (padding < 1) out.push_back(static_cast<char>(triple & 0xFF));
    }
    return out;
}

std::optional<std::string> Gunzip(std::string_view data, std::size_t limit) {
    z_stream z{};
    if (inflateInit2(&z, 15 + 16) != Z_OK) return std::nullopt;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    std::string out;
    char buffer[16384];
    int ret = Z_OK;
    while (ret == Z_OK) {
        z.next_out = reinterpret_cast<Bytef*>(buffer);
        z.avail_out = sizeof buffer;
        ret = inflate(&z, Z_NO_FLUSH);
        out.append(buffer, sizeof buffer - z.avail_out);
        if (out.size() > limit) ret = Z_MEM_ERROR;
        if (ret == Z_BUF_ERROR && z.avail_in == 0) break;  // input ended before the stream did
    }
    const bool complete = ret == Z_STREAM_END && z.avail_in == 0;
    inflateEnd(&z);
    if (!complete) return std::nullopt;
    return out;
}

std::optional<std::vector<std::string>> SplitRecordArray(std::string_view text, std::string* error) {
    const auto fail = [&](std::string why) -> std::optional<std::vector<std::string>> {
        if (error) *error = std::move(why);
        return std::nullopt;
    };
    const nlohmann::json parsed = nlohmann::json::parse(text.begin(), text.end(), nullptr, false);
    if (parsed.is_discarded()) return fail("batch is not valid JSON");
    if (!parsed.is_array()) return fail("batch is not a JSON array");
    for (const auto& element : parsed)
        if (!element.is_object()) return fail("batch element is not a JSON object");

    // The text is valid JSON: split the top-level array at its commas, outside strings and
    // nested values, keeping each element's bytes.
    std::vector<std::string> elements;
    std::size_t i = 0;
    while (i < text.size() && IsJsonSpace(text[i])) ++i;
    ++i;  // '['
    int depth = 0;
    bool inString = false, escaped = false;
    std::size_t start = i;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (escaped) escaped = false;
            else if (c == '\\') escaped = true;
            else if (c == '"') inString = false;
            continue;
        }
        if (c == '"') inString = true;
        else if (c == '{' || c == '[') ++depth;
        else if (c == '}' || (c == ']' && depth > 0)) --depth;
        else if ((c == ',' || c == ']') && depth == 0) {
            std::string_view element = text.substr(start, i - start);
            while (!element.empty() && IsJsonSpace(element.front())) element.remove_prefix(1);
            while (!element.empty() && IsJsonSpace(element.back())) element.remove_suffix(1);
            if (!element.empty()) elements.emplace_back(element);
            start = i + 1;
            if (c == ']') break;
        }
    }
    if (elements.size() != parsed.size()) return fail("batch could not be split into its records");
    return elements;
}

DecodedUpload DecodeUploadBody(std::string_view body) {
    DecodedUpload result;
    std::optional<std::string> dataList;
    std::string gzipFlag;
    std::size_t pos = 0;
    while (pos <= body.size()) {
        std::size_t amp = body.find('&', pos);
        if (amp == std::string_view::npos) amp = body.size();
        const std::string_view field = body.substr(pos, amp - pos);
        const std::size_t eq = field.find('=');
        const std::string_view name = field.substr(0, eq);
        const std::string_view value = eq == std::string_view::npos ? std::string_view() : field.substr(eq + 1);
        if (name == "data_list") {
            dataList = PercentDecode(value);
            if (!dataList) {
                result.error = "data_list has a bad percent escape";
                return result;
            }
        } else if (name == "gzip") {
            gzipFlag = std::string(value);
        }
        pos = amp + 1;
    }
    if (!dataList) {
        result.error = "no data_list field";
        return result;
    }
    std::optional<std::string> raw = Base64Decode(*dataList);
    if (!raw) {
        result.error = "data_list is not valid base64";
        return result;
    }
    if (gzipFlag == "1") {
        std::optional<std::string> text = Gunzip(*raw);
        if (!text) {
            result.error = "data_list is not a complete gzip stream";
            return result;
        }
        result.batchText = std::move(*text);
    } else {
        result.batchText = std::move(*raw);
    }
    std::optional<std::vector<std::string>> records = SplitRecordArray(result.batchText, &result.error);
    if (!records) return result;
    result.recordTexts = std::move(*records);
    result.ok = true;
    return result;
}

}  // namespace collector
