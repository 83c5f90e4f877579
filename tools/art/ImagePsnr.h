#pragma once
// How far a shipped image is from the one it stands for, as one peak signal-to-noise ratio.
#include "RgbaImage.h"

namespace Art {

// PSNR in dB of `b` against `a` over their premultiplied RGBA samples (every channel of every
// pixel weighs the same; 255 is the peak). Premultiplied, so a colour under zero alpha counts
// for nothing and a change of coverage counts as much as the colour it uncovers. Identical
// images give +infinity; images of different sizes give -infinity (no match at all).
double PremultipliedPsnr(const RgbaImage& a, const RgbaImage& b);

}  // namespace Art
