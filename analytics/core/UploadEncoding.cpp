#include "analytics/core/UploadEncoding.h"

#include <zlib.h>

#include <cstdint>

#include "analytics/core/Diagnostics.h"

namespace collect::detail {
namespace {

constexpr std::size_t kOutputStep = 32768;

// Ends the deflate stream however the compression leaves it.
struct DeflateStream {
    z_stream stream{};
    bool open = false;
    ~DeflateStream() {
        if (open) deflateEnd(&stream);
    }
};

}  // namespace

std::optional<std::string> GzipCompress(std::string_view input) {
    DeflateStream z;
    if (deflateInit2(&z.stream, 9, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        ReportError("deflateInit2 failed while compressing.");
        return std::nullopt;
    }
    z.open = true;

    std::string out;
    // zlib's avail_in is 32-bit; a batch is at most 30 records, far below that.
    z.stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data()));
    z.stream.avail_in = static_cast<uInt>(input.size());
    unsigned char buffer[kOutputStep];
    int ret = Z_OK;
    do {
        z.stream.next_out = buffer;
        z.stream.avail_out = sizeof buffer;
        ret = deflate(&z.stream, Z_FINISH);
        out.append(reinterpret_cast<const char*>(buffer), sizeof buffer - z.stream.avail_out);
    } while (ret == Z_OK);

    if (ret != Z_STREAM_END) {
        std::string text = "Exception during zlib compression: (" + std::to_string(ret) + ") ";
        if (z.stream.msg) text.append(z.stream.msg);
        ReportError(text);
        return std::nullopt;
    }
    return out;
}

std::string Base64Encode(std::string_view input) {
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((input.size() + 2) / 3 * 4);
    std::size_t i = 0;
    const auto byte = [&](std::size_t k) { return static_cast<std::uint32_t>(static_cast<unsigned char>(input[k])); };
    for (; i + 3 <= input.size(); i += 3) {
        const std::uint32_t v = byte(i) << 16 | byte(i + 1) << 8 | byte(i + 2);
        out.push_back(kAlphabet[v >> 18 & 63]);
        out.push_back(kAlphabet[v >> 12 & 63]);
        out.push_back(kAlphabet[v >> 6 & 63]);
        out.push_back(kAlphabet[v & 63]);
    }
    const std::size_t rest = input.size() - i;
    if (rest == 1) {
        const std::uint32_t v = byte(i) << 16;
        out.push_back(kAlphabet[v >> 18 & 63]);
        out.push_back(kAlphabet[v >> 12 & 63]);
        out.append("==");
    } else if (rest == 2) {
        const std::uint32_t v = byte(i) << 16 | byte(i + 1) << 8;
        out.push_back(kAlphabet[v >> 18 & 63]);
        out.push_back(kAlphabet[v >> 12 & 63]);
        out.push_back(kAlphabet[v >> 6 & 63]);
        out.push_back('=');
    }
    return out;
}

std::string PercentEncode(std::string_view input) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(input.size() * 3 / 2);
    for (const char ch : input) {
        const auto c = static_cast<unsigned char>(ch);
        const bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                          c == '.' || c == '_' || c == '~';
        if (keep) {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back('%');
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 15]);
        }
    }
    return out;
}

std::optional<std::string> BuildUploadBody(std::string_view batch) {
    const std::optional<std::string> compressed = GzipCompress(batch);
    if (!compressed) return std::nullopt;
    return "data_list=" + PercentEncode(Base64Encode(*compressed)) + "&gzip=1";
}

}  // namespace collect::detail
