#include "PngEncoder.h"

#include <zlib.h>

#include <algorithm>
#include <cstdlib>

namespace Art {

namespace {

constexpr char kSignature[] = "\x89PNG\r\n\x1a\n";

void Put32(std::string& out, std::uint32_t v) {
    for (int i = 3; i >= 0; --i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

std::uint8_t Paeth(int a, int b, int c) {
    const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) return static_cast<std::uint8_t>(a);
    return static_cast<std::uint8_t>(pb <= pc ? b : c);
}

// Filters one row with filter `type` (0..4) into `out` (filter byte first).
void FilterRow(const std::uint8_t* row, const std::uint8_t* prev, std::size_t n, int bpp, int type,
               std::uint8_t* out) {
    out[0] = static_cast<std::uint8_t>(type);
    for (std::size_t i = 0; i < n; ++i) {
        const int a = i >= static_cast<std::size_t>(bpp) ? row[i - bpp] : 0;
        const int b = prev ? prev[i] : 0;
        const int c = prev && i >= static_cast<std::size_t>(bpp) ? prev[i - bpp] : 0;
        int predicted = 0;
        switch (type) {
            case 1: predicted = a; break;
            case 2: predicted = b; break;
            case 3: predicted = (a + b) / 2; break;
            case 4: predicted = Paeth(a, b, c); break;
            default: break;
        }
        out[i + 1] = static_cast<std::uint8_t>(row[i] - predicted);
    }
}

// The usual heuristic for choosing a filter per row: smallest sum of the filtered bytes read
// as signed values.
unsigned long SignedSum(const std::uint8_t* filtered, std::size_t n) {
    unsigned long sum = 0;
    for (std::size_t i = 1; i <= n; ++i) sum += static_cast<unsigned long>(std::abs(static_cast<std::int8_t>(filtered[i])));
    return sum;
}

// zlib stream at maximum effort; empty when zlib fails.
std::string Compress(const std::vector<std::uint8_t>& data) {
    z_stream z{};
    if (deflateInit2(&z, 9, Z_DEFLATED, 15, 9, Z_DEFAULT_STRATEGY) != Z_OK) return {};
    std::string out(deflateBound(&z, data.size()), '\0');
    z.next_in = const_cast<Bytef*>(data.data());
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    const int rc = deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return rc == Z_STREAM_END ? out : std::string();
}

std::string Header(int width, int height, int bitDepth, int colourType) {
    std::string ihdr;
    Put32(ihdr, static_cast<std::uint32_t>(width));
    Put32(ihdr, static_cast<std::uint32_t>(height));
    ihdr.push_back(static_cast<char>(bitDepth));
    ihdr.push_back(static_cast<char>(colourType));
    ihdr.append(3, '\0');  // deflate, adaptive filtering, no interlace
    return ihdr;
}

}  // namespace

void PngEncoder::AppendChunk(std::string& png, const char* type, const std::string& data) {
    Put32(png, static_cast<std::uint32_t>(data.size()));
    const std::string body = std::string(type, 4) + data;
    png += body;
    Put32(png, static_cast<std::uint32_t>(
                   crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()))));
}

std::string PngEncoder::SmallestIdat(const std::vector<std::uint8_t>& raw, int height, std::size_t rowBytes,
                                     int bpp) {
    // Filter plans: no filter on any row, or the per-row heuristic (5). The fixed filters and
    // zlib's other strategies were measured on the skin's images: they never won by more than
    // a few hundred bytes, and each maximum-effort pass over a large, repetitive frame costs a
    // second.
    std::string best;
    std::vector<std::uint8_t> filtered(static_cast<std::size_t>(height) * (rowBytes + 1));
    std::vector<std::uint8_t> trial(rowBytes + 1);
    for (int plan : {0, 5}) {
        for (int y = 0; y < height; ++y) {
            const std::uint8_t* row = raw.data() + static_cast<std::size_t>(y) * rowBytes;
            const std::uint8_t* prev = y ? row - rowBytes : nullptr;
            std::uint8_t* out = filtered.data() + static_cast<std::size_t>(y) * (rowBytes + 1);
            if (plan < 5) {
                FilterRow(row, prev, rowBytes, bpp, plan, out);
                continue;
            }
            unsigned long bestSum = ~0ul;
            for (int type = 0; type <= 4; ++type) {
                FilterRow(row, prev, rowBytes, bpp, type, trial.data());
                const unsigned long sum = SignedSum(trial.data(), rowBytes);
                if (sum < bestSum) {
                    bestSum = sum;
                    std::copy(trial.begin(), trial.end(), out);
                }
            }
        }
        std::string z = Compress(filtered);
        if (z.empty()) return {};
        if (best.empty() || z.size() < best.size()) best = std::move(z);
    }
    return best;
}

std::string PngEncoder::Truecolor(const RgbaImage& image) {
    const int w = image.Width(), h = image.Height();
    if (w <= 0 || h <= 0) return {};
    const auto& px = image.Pixels();
    bool opaque = true;
    for (std::size_t i = 3; i < px.size(); i += 4) opaque = opaque && px[i] == 255;
    const int bpp = opaque ? 3 : 4;
    std::vector<std::uint8_t> raw;
    raw.reserve(static_cast<std::size_t>(w) * h * bpp);
    for (std::size_t i = 0; i < px.size(); i += 4) {
        const bool clear = px[i + 3] == 0;
        for (int c = 0; c < bpp; ++c) raw.push_back(clear ? 0 : px[i + c]);
    }
    const std::string idat = SmallestIdat(raw, h, static_cast<std::size_t>(w) * bpp, bpp);
    if (idat.empty()) return {};
    std::string png(kSignature, 8);
    AppendChunk(png, "IHDR", Header(w, h, 8, opaque ? 2 : 6));
    AppendChunk(png, "IDAT", idat);
    AppendChunk(png, "IEND", {});
    return png;
}

std::string PngEncoder::Indexed(int width, int height, const std::vector<Rgba>& palette,
                                const std::vector<std::uint8_t>& indices) {
    if (width <= 0 || height <= 0 || palette.empty() || palette.size() > 256 ||
        indices.size() != static_cast<std::size_t>(width) * height)
        return {};
    for (std::uint8_t i : indices)
        if (i >= palette.size()) return {};
    const int depth = palette.size() <= 2 ? 1 : palette.size() <= 4 ? 2 : palette.size() <= 16 ? 4 : 8;
    const int perByte = 8 / depth;
    const std::size_t rowBytes = (static_cast<std::size_t>(width) + perByte - 1) / perByte;
    std::vector<std::uint8_t> raw(rowBytes * height, 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const unsigned v = indices[static_cast<std::size_t>(y) * width + x];
            const int shift = 8 - depth * (x % perByte + 1);
            raw[y * rowBytes + x / perByte] |= static_cast<std::uint8_t>(v << shift);
        }
    }
    const std::string idat = SmallestIdat(raw, height, rowBytes, 1);
    if (idat.empty()) return {};

    std::string plte, trns;
    std::size_t trnsLength = 0;
    for (std::size_t i = 0; i < palette.size(); ++i) {
        const bool clear = palette[i][3] == 0;
        for (int c = 0; c < 3; ++c) plte.push_back(static_cast<char>(clear ? 0 : palette[i][c]));
        trns.push_back(static_cast<char>(palette[i][3]));
        if (palette[i][3] != 255) trnsLength = i + 1;
    }
    trns.resize(trnsLength);

    std::string png(kSignature, 8);
    AppendChunk(png, "IHDR", Header(width, height, depth, 3));
    AppendChunk(png, "PLTE", plte);
    if (!trns.empty()) AppendChunk(png, "tRNS", trns);
    AppendChunk(png, "IDAT", idat);
    AppendChunk(png, "IEND", {});
    return png;
}

}  // namespace Art
