// skin-compare: checks the shipped skin images against the drawn references they stand for,
// and optionally the size of the packed archive.
//
//   skin-compare REFERENCE_DIR SHIPPED_DIR MIN_PSNR MAX_BANDING [ARCHIVE MAX_BYTES]
//
// Both trees must hold the same PNG names; each shipped image must have its reference's pixel
// size, a premultiplied PSNR of at least MIN_PSNR dB against it, and no gradient step wider
// than MAX_BANDING levels (GradientBanding). The worst figures at 1x and at 2x ("@2x" names)
// are printed either way. Exit codes: 0 all held, 1 a check failed or a file
// could not be read, 2 usage.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <set>
#include <string>

#include "ImageBanding.h"
#include "ImagePsnr.h"
#include "RgbaImage.h"

namespace fs = std::filesystem;

namespace {

bool ListPngs(const fs::path& root, std::set<std::string>& names) {
    std::error_code ec;
    for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec))
        if (it->is_regular_file() && it->path().extension() == ".png")
            names.insert(fs::relative(it->path(), root).generic_string());
    if (ec) std::fprintf(stderr, "skin-compare: cannot list '%s': %s\n", root.c_str(), ec.message().c_str());
    return !ec;
}

bool ParseNumber(const char* text, double& value) {
    char* end = nullptr;
    value = std::strtod(text, &end);
    return end != text && *end == '\0' && std::isfinite(value) && value >= 0;
}

}  // namespace

int main(int argc, char** argv) {
    double minPsnr = 0, maxBanding = 0, maxBytes = 0;
    if ((argc != 5 && argc != 7) || !ParseNumber(argv[3], minPsnr) || !ParseNumber(argv[4], maxBanding) ||
        (argc == 7 && !ParseNumber(argv[6], maxBytes))) {
        std::fprintf(stderr, "usage: skin-compare REFERENCE_DIR SHIPPED_DIR MIN_PSNR MAX_BANDING [ARCHIVE MAX_BYTES]\n");
        return 2;
    }
    const fs::path reference = argv[1], shipped = argv[2];
    std::set<std::string> refNames, shipNames;
    if (!ListPngs(reference, refNames) || !ListPngs(shipped, shipNames)) return 1;

    int failures = 0;
    if (refNames.empty()) {
        std::fprintf(stderr, "skin-compare: no reference images in '%s'\n", reference.c_str());
        ++failures;
    }
    for (const auto& name : shipNames)
        if (!refNames.count(name)) {
            std::fprintf(stderr, "skin-compare: %s is shipped but has no reference\n", name.c_str());
            ++failures;
        }

    const double inf = std::numeric_limits<double>::infinity();
    double worst[2] = {inf, inf}, worstBanding[2] = {0, 0};
    std::string worstName[2], worstBandingName[2];
    for (const auto& name : refNames) {
        if (!shipNames.count(name)) {
            std::fprintf(stderr, "skin-compare: %s is missing from the shipped images\n", name.c_str());
            ++failures;
            continue;
        }
        Art::RgbaImage a, b;
        std::string error;
        if (!Art::RgbaImage::LoadPng((reference / name).string(), a, error) ||
            !Art::RgbaImage::LoadPng((shipped / name).string(), b, error)) {
            std::fprintf(stderr, "skin-compare: cannot read %s: %s\n", name.c_str(), error.c_str());
            ++failures;
            continue;
        }
        if (a.Width() != b.Width() || a.Height() != b.Height()) {
            std::fprintf(stderr, "skin-compare: %s is %dx%d, its reference %dx%d\n", name.c_str(), b.Width(),
                         b.Height(), a.Width(), a.Height());
            ++failures;
            continue;
        }
        const double psnr = Art::PremultipliedPsnr(a, b);
        const int scale = name.find("@2x.") != std::string::npos ? 1 : 0;
        if (psnr < worst[scale]) {
            worst[scale] = psnr;
            worstName[scale] = name;
        }
        if (psnr < minPsnr) {
            std::fprintf(stderr, "skin-compare: %s: PSNR %.2f dB, below %.2f dB\n", name.c_str(), psnr, minPsnr);
            ++failures;
        }
        const double banding = Art::GradientBanding(a, b);
        if (banding > worstBanding[scale] || worstBandingName[scale].empty()) {
            worstBanding[scale] = banding;
            worstBandingName[scale] = name;
        }
        if (banding > maxBanding) {
            std::fprintf(stderr, "skin-compare: %s: gradient banding %.2f levels, over %.2f\n", name.c_str(), banding,
                         maxBanding);
            ++failures;
        }
    }
    for (int scale : {0, 1}) {
        std::printf("worst PSNR at %dx: %.2f dB (%s)\n", scale + 1, worst[scale],
                    worstName[scale].empty() ? "no image" : worstName[scale].c_str());
        std::printf("worst gradient banding at %dx: %.2f levels (%s)\n", scale + 1, worstBanding[scale],
                    worstBandingName[scale].empty() ? "no image" : worstBandingName[scale].c_str());
    }

    if (argc == 7) {
        std::error_code ec;
        const auto bytes = fs::file_size(argv[5], ec);
        if (ec) {
            std::fprintf(stderr, "skin-compare: cannot read '%s': %s\n", argv[5], ec.message().c_str());
            ++failures;
        } else {
            std::printf("archive: %ju bytes (limit %.0f)\n", static_cast<std::uintmax_t>(bytes), maxBytes);
            if (static_cast<double>(bytes) > maxBytes) {
                std::fprintf(stderr, "skin-compare: the archive is %ju bytes, over %.0f\n",
                             static_cast<std::uintmax_t>(bytes), maxBytes);
                ++failures;
            }
        }
    }
    return failures ? 1 : 0;
}
