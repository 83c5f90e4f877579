#pragma once
// Drawing primitives on cairo: colours, rounded rectangles, borders, skin images with the
// whole image-descriptor vocabulary (dest, source, nine-slice corner, mask, fade, hole,
// tiling), the focus ring and the window drop shadow. Coordinates are client pixels.
#include "toolkit/Geometry.h"
#include "toolkit/Values.h"

typedef struct _cairo cairo_t;
typedef struct _cairo_surface cairo_surface_t;

namespace Toolkit {

class Image;

// Shadow parameters of the "Window" element.
struct ShadowStyle {
    bool show = false;
    int size = 0;          // how far the shadow reaches beyond the outline, pixels
    int sharpness = 5;     // 0..20: higher keeps the shadow dense longer before it fades
    int darkness = 200;    // 0..255: adds to the colour's own alpha for the peak opacity
    Point position;        // offset of the shadow from the window
    Color color = 0xFF000000;
};

namespace Paint {

void SetColor(cairo_t* cr, Color color);

// Rounded-rectangle path. `round` is the corner ellipse's width and height (as in "roundcorner"
// and "borderround"), so the radii are half of it; an empty size gives square corners.
void RoundedRectPath(cairo_t* cr, double x, double y, double w, double h, Size round);

void FillRect(cairo_t* cr, const Rect& rect, Color color, Size round = {});
// A border of `width` pixels drawn inside `rect`.
void DrawBorder(cairo_t* cr, const Rect& rect, int width, Color color, Size round = {});
// Rect-specific borders (left, top, right, bottom widths), square corners.
void DrawSideBorders(cairo_t* cr, const Rect& rect, const Rect& widths, Color color);

// Draws `image` for the descriptor inside the control rectangle `control` (dest and source as
// documented on ImageDescriptor). Returns false when nothing could be drawn.
bool DrawImage(cairo_t* cr, const Image& image, const ImageDescriptor& desc, const Rect& control);
// Looks the image up in the cache first; a missing image draws nothing.
bool DrawImage(cairo_t* cr, const ImageDescriptor& desc, const Rect& control);

// The keyboard focus ring: a 2-pixel outline just inside `rect`.
void DrawFocusRing(cairo_t* cr, const Rect& rect, Size round);

// Margin needed around the window for its shadow (0 when the shadow is off).
int ShadowMargin(const ShadowStyle& shadow);
// An ARGB surface of (width + 2*margin) x (height + 2*margin) holding the shadow of a window of
// the given client size and corner rounding; the window itself sits at (margin, margin). The
// caller owns the surface. Null when the shadow is off.
cairo_surface_t* CreateShadowSurface(int width, int height, Size round, const ShadowStyle& shadow);

}  // namespace Paint
}  // namespace Toolkit
