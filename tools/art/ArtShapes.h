#pragma once
// Shapes shared by the skin's images: the product mark, the background waves and the frames of
// the two animations.
#include <cairo.h>

#include "ArtPalette.h"

namespace Art {

inline constexpr int kInstallFrames = 95;
inline constexpr int kFinishFrames = 34;

void SetColor(cairo_t* cr, Rgb c, double alpha = 1.0);
void AddStop(cairo_pattern_t* p, double offset, Rgb c, double alpha);
void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double r);
// A filled sine band along the bottom of a w x h area, `height` above the bottom edge.
void Wave(cairo_t* cr, double w, double h, double height, double amplitude, double phase, Rgb c, double alpha);
// The product mark (logo and icon) in a size x size square at x, y.
void ProductMark(cairo_t* cr, double x, double y, double size);
// Frame i of the installing animation (200 x 200, loops seamlessly after the last frame).
void InstallingFrame(cairo_t* cr, int i);
// Frame i of the finished tick (70 x 70); the last frame is the resting picture.
void FinishedFrame(cairo_t* cr, int i);

}  // namespace Art
