// The build tools that make the skin's images small: the PNG writer must give back exactly
// what it was handed (every bit depth, odd widths, transparency), the PSNR must measure what
// compositing shows, the banding measure must see steps on ramps (and not fine dither), and
// the chooser must never ship an image under its floor or over its banding limit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "GradientRemapper.h"
#include "ImageBanding.h"
#include "ImagePsnr.h"
#include "PaletteQuantizer.h"
#include "PngEncoder.h"
#include "RgbaImage.h"
#include "ShippedPng.h"

namespace {

using Art::PngEncoder;
using Art::RgbaImage;

RgbaImage Decode(const std::string& png) {
    RgbaImage image;
    std::string error;
    EXPECT_TRUE(RgbaImage::DecodePng(png, image, error)) << error;
    return image;
}

// A soft blue disc on transparency with a radial alpha ramp: the kind of picture the
// animation frames are made of.
RgbaImage Halo(int size) {
    RgbaImage image(size, size);
    auto& px = image.Pixels();
    const double c = (size - 1) / 2.0;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const double d = std::hypot(x - c, y - c) / c;
            const double a = d >= 1 ? 0 : 1 - d;
            std::uint8_t* p = px.data() + 4 * (static_cast<std::size_t>(y) * size + x);
            p[0] = static_cast<std::uint8_t>(33 + 40 * (1 - d > 0 ? 1 - d : 0));
            p[1] = 150;
            p[2] = 243;
            p[3] = static_cast<std::uint8_t>(std::lround(255 * a));
            if (p[3] == 0) p[0] = p[1] = p[2] = 0;
        }
    return image;
}

TEST(PngEncoderTest, IndexedImagesComeBackExactlyAtEveryBitDepth) {
    // 2, 4, 16 and 256 colours give 1, 2, 4 and 8 bits per pixel; odd widths leave part of
    // each row's last byte unused.
    for (int colours : {2, 3, 16, 17, 256}) {
        for (int width : {1, 7, 13}) {
            const int height = 5;
            std::vector<PngEncoder::Rgba> palette;
            for (int i = 0; i < colours; ++i)
                palette.push_back({static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i),
                                   static_cast<std::uint8_t>(i * 7), static_cast<std::uint8_t>(i % 3 ? 255 : i)});
            palette[0] = {0, 0, 0, 0};
            std::vector<std::uint8_t> indices;
            for (int i = 0; i < width * height; ++i) indices.push_back(static_cast<std::uint8_t>((i * 31 + 7) % colours));
            const std::string png = PngEncoder::Indexed(width, height, palette, indices);
            ASSERT_FALSE(png.empty());
            const RgbaImage back = Decode(png);
            ASSERT_EQ(back.Width(), width);
            ASSERT_EQ(back.Height(), height);
            const auto& px = back.Pixels();
            for (std::size_t i = 0; i < indices.size(); ++i)
                for (int c = 0; c < 4; ++c)
                    ASSERT_EQ(px[4 * i + c], palette[indices[i]][c])
                        << colours << " colours, width " << width << ", pixel " << i;
        }
    }
}

TEST(PngEncoderTest, IndexedRefusesInconsistentInput) {
    const std::vector<PngEncoder::Rgba> two = {{0, 0, 0, 0}, {1, 2, 3, 255}};
    EXPECT_TRUE(PngEncoder::Indexed(2, 2, two, {0, 1, 2, 0}).empty());  // index past the palette
    EXPECT_TRUE(PngEncoder::Indexed(2, 2, two, {0, 1, 1}).empty());     // too few indices
    EXPECT_TRUE(PngEncoder::Indexed(2, 2, {}, {0, 0, 0, 0}).empty());   // no palette
    EXPECT_TRUE(PngEncoder::Indexed(0, 2, two, {}).empty());
    EXPECT_TRUE(PngEncoder::Indexed(2, 2, std::vector<PngEncoder::Rgba>(257, {0, 0, 0, 255}), {0, 0, 0, 0}).empty());
}

TEST(PngEncoderTest, TruecolorIsLosslessAndClearsHiddenColour) {
    RgbaImage image = Halo(37);
    // A colour under zero alpha shows nothing: the writer may (and does) store it as zero.
    image.Pixels()[0] = 200;
    image.Pixels()[3] = 0;
    const RgbaImage back = Decode(PngEncoder::Truecolor(image));
    image.Pixels()[0] = 0;
    EXPECT_EQ(back.Pixels(), image.Pixels());

    // Fully opaque pictures are stored without an alpha channel and still come back the same.
    RgbaImage opaque(9, 4);
    for (std::size_t i = 0; i < opaque.Pixels().size(); ++i)
        opaque.Pixels()[i] = i % 4 == 3 ? 255 : static_cast<std::uint8_t>(i * 13);
    const std::string png = PngEncoder::Truecolor(opaque);
    ASSERT_GT(png.size(), 26u);
    EXPECT_EQ(png[25], 2) << "colour type: RGB";
    EXPECT_EQ(Decode(png).Pixels(), opaque.Pixels());
}

TEST(ImagePsnrTest, MeasuresPremultipliedError) {
    const double inf = std::numeric_limits<double>::infinity();
    RgbaImage a = Halo(16);
    EXPECT_EQ(Art::PremultipliedPsnr(a, a), inf);
    EXPECT_EQ(Art::PremultipliedPsnr(a, RgbaImage(16, 15)), -inf);

    // One opaque pixel's red off by 10 in a 16x16 image: MSE = 100 / (256 * 4).
    RgbaImage opaque(16, 16);
    for (std::size_t i = 3; i < opaque.Pixels().size(); i += 4) opaque.Pixels()[i] = 255;
    RgbaImage b = opaque;
    b.Pixels()[4 * 37] = 10;
    EXPECT_NEAR(Art::PremultipliedPsnr(opaque, b), 10 * std::log10(255.0 * 255 * 1024 / 100), 1e-9);
    // Half coverage halves the colour's weight: the same step under alpha 51 (of 255) costs 1/25.
    for (std::size_t i = 3; i < opaque.Pixels().size(); i += 4) opaque.Pixels()[i] = b.Pixels()[i] = 51;
    EXPECT_NEAR(Art::PremultipliedPsnr(opaque, b), 10 * std::log10(255.0 * 255 * 1024 * 25 / 100), 1e-9);

    // Any colour under zero alpha is invisible and costs nothing.
    RgbaImage c(2, 1), d(2, 1);
    d.Pixels() = {255, 255, 255, 0, 0, 0, 0, 0};
    EXPECT_EQ(Art::PremultipliedPsnr(c, d), inf);
}

TEST(ShippedPngTest, NeverShipsBelowTheFloorAndReportsWhatItShips) {
    const RgbaImage halo = Halo(120);
    for (double floor : {35.0, 41.0, 50.0}) {
        const auto result = Art::ShippedPng::Encode(halo, floor);
        ASSERT_FALSE(result.png.empty());
        const double measured = Art::PremultipliedPsnr(halo, Decode(result.png));
        EXPECT_GE(measured, floor);
        EXPECT_DOUBLE_EQ(measured, result.psnr) << "the figure reported is the file's own";
    }
    // The smooth ramp fits a palette at 41 dB, and smaller than the exact form.
    const auto small = Art::ShippedPng::Encode(halo, 41.0);
    EXPECT_GT(small.colours, 0);
    EXPECT_LT(small.png.size(), PngEncoder::Truecolor(halo).size());
    // A floor no palette can meet gives the exact picture.
    const auto exact = Art::ShippedPng::Encode(halo, std::numeric_limits<double>::infinity());
    EXPECT_EQ(exact.colours, 0);
    EXPECT_EQ(Decode(exact.png).Pixels(), halo.Pixels());
}

TEST(ShippedPngTest, QuantizedTransparencyStaysTransparent) {
    const RgbaImage halo = Halo(64);
    Art::IndexedImage indexed;
    ASSERT_TRUE(Art::PaletteQuantizer::Quantize(halo, 32, 0, indexed));
    ASSERT_LE(indexed.palette.size(), 32u);
    // Non-opaque entries first, so the transparency chunk stays short.
    bool seenOpaque = false;
    for (const auto& c : indexed.palette) {
        if (c[3] == 255) seenOpaque = true;
        EXPECT_FALSE(seenOpaque && c[3] != 255) << "a translucent entry after an opaque one";
    }
    // The corners are fully clear in the drawing and must stay exactly so.
    const RgbaImage back = Art::PaletteQuantizer::Expand(indexed, 64, 64);
    for (std::size_t corner : {std::size_t{0}, std::size_t{63}, std::size_t{64 * 63}, std::size_t{64 * 64 - 1}})
        EXPECT_EQ(back.Pixels()[4 * corner + 3], 0) << "pixel " << corner;
}

}  // namespace

namespace {

using Art::GradientBanding;

// A horizontal grey ramp, opaque, one level per `perLevel` pixels starting at `from`.
RgbaImage Ramp(int width, int height, int from, double perLevel) {
    RgbaImage image(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = image.Pixels().data() + 4 * (static_cast<std::size_t>(y) * width + x);
            p[0] = p[1] = p[2] = static_cast<std::uint8_t>(std::min(255.0, from + x / perLevel));
            p[3] = 255;
        }
    return image;
}

// Greys 0, step, 2*step, ... as an opaque palette.
std::vector<PngEncoder::Rgba> GreyLevels(int step) {
    std::vector<PngEncoder::Rgba> palette;
    for (int v = 0; v <= 255; v += step)
        palette.push_back({static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v), 255});
    return palette;
}

TEST(GradientBandingTest, SeesStepsOnRampsButNotDither) {
    const RgbaImage ramp = Ramp(96, 16, 40, 1.0);
    EXPECT_EQ(GradientBanding(ramp, ramp), 0.0);
    EXPECT_EQ(GradientBanding(ramp, RgbaImage(96, 15)), std::numeric_limits<double>::infinity());

    // The ramp cut into flat steps 16 levels apart: the mean misses by up to half a step.
    RgbaImage stepped = ramp;
    for (std::size_t i = 0; i < stepped.Pixels().size(); i += 4)
        for (int c = 0; c < 3; ++c) stepped.Pixels()[i + c] = static_cast<std::uint8_t>(stepped.Pixels()[i + c] / 16 * 16);
    EXPECT_GE(GradientBanding(ramp, stepped), 6.0);

    // A checkerboard of +-3 levels over the exact ramp averages away: the eye sees the ramp.
    RgbaImage dithered = ramp;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 96; ++x)
            for (int c = 0; c < 3; ++c) dithered.Pixels()[4 * (y * 96 + x) + c] += (x + y) % 2 ? 3 : -3;
    EXPECT_LE(GradientBanding(ramp, dithered), 1.0);
}

TEST(GradientRemapperTest, DithersOnlyRampsThePaletteCannotFollow) {
    const auto palette = GreyLevels(32);  // 0, 32, ..., 224: a coarse palette
    RgbaImage image = Ramp(128, 24, 16, 1.0);
    // The left quarter is flat at a palette level, and one corner is clear.
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 32; ++x)
            for (int c = 0; c < 3; ++c) image.Pixels()[4 * (y * 128 + x) + c] = 64;
    image.Pixels()[3] = 0;
    auto withClear = palette;
    withClear.insert(withClear.begin(), PngEncoder::Rgba{0, 0, 0, 0});

    const Art::IndexedImage mapped = Art::GradientRemapper::Remap(image, withClear);
    ASSERT_EQ(mapped.indices.size(), 128u * 24u);
    EXPECT_EQ(mapped.palette, withClear);
    const RgbaImage shown = Art::PaletteQuantizer::Expand(mapped, 128, 24);
    EXPECT_EQ(shown.Pixels()[3], 0) << "clear stays clear";
    for (int y = 1; y < 24; ++y)
        for (int x = 0; x < 30; ++x)
            ASSERT_EQ(shown.Pixels()[4 * (y * 128 + x)], 64) << "flat area picked up noise at " << x << "," << y;

    // Plain nearest mapping of the same palette bands; the remapped ramp does not.
    Art::IndexedImage plain{withClear, {}};
    for (std::size_t i = 0; i < mapped.indices.size(); ++i) {
        const int v = image.Pixels()[4 * i + 3] == 0 ? -1 : image.Pixels()[4 * i];
        plain.indices.push_back(static_cast<std::uint8_t>(v < 0 ? 0 : 1 + std::min(7, (v + 16) / 32)));
    }
    const RgbaImage banded = Art::PaletteQuantizer::Expand(plain, 128, 24);
    EXPECT_GE(GradientBanding(image, banded), 8.0);
    EXPECT_LE(GradientBanding(image, shown), 4.0);

    EXPECT_TRUE(Art::GradientRemapper::Remap(image, {}).indices.empty());
}

TEST(ShippedPngTest, KeepsBandingWithinItsLimitAndReportsIt) {
    // A long, steep ramp that a small palette passes the PSNR floor with but visibly steps.
    const RgbaImage ramp = Ramp(200, 40, 0, 200.0 / 255);
    for (double limit : {2.0, 5.0}) {
        const auto result = Art::ShippedPng::Encode(ramp, 30.0, limit);
        ASSERT_FALSE(result.png.empty());
        const RgbaImage back = Decode(result.png);
        EXPECT_LE(GradientBanding(ramp, back), limit);
        EXPECT_DOUBLE_EQ(GradientBanding(ramp, back), result.banding) << "the figure reported is the file's own";
        EXPECT_GE(Art::PremultipliedPsnr(ramp, back), 30.0);
    }
}

}  // namespace
