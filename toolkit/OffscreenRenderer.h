#pragma once
// Renders a window's layout without a display: into a cairo image surface or a PNG file, through
// the same window painter as the screen. Used by skin-preview, the rendering tests and the
// benchmarks.
#include <string>

#include "toolkit/CairoPtr.h"
#include "toolkit/Geometry.h"

namespace Toolkit {

class CPaintManagerUI;

struct OffscreenOptions {
    double scale = 1.0;        // device scale factor (2 for high-density output)
    bool withShadow = false;   // draw the drop shadow in a margin around the window
    bool clipToOutline = true; // cut the window to its rounded outline
};

// Lays out and paints the whole window into a new ARGB32 surface (null when the size is empty
// or the surface cannot be made). `origin` receives where the client area starts (the shadow
// margin).
SurfacePtr RenderWindow(CPaintManagerUI& manager, const OffscreenOptions& options, Point* origin = nullptr);
// Same, written as PNG; false with `error` set on failure.
bool RenderWindowToPng(CPaintManagerUI& manager, const OffscreenOptions& options, const std::string& path,
                       std::string* error = nullptr);

}  // namespace Toolkit
