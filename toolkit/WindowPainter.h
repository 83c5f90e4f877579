#pragma once
// Draws one whole window: the drop shadow in the margin around it, the cut to its rounded
// outline, the cleared (or, without transparency, white) background, the controls, and where
// the desktop draws no shadow a thin outline. The
// GTK host's draw handler and the offscreen renderer both draw through this one class, so what
// skin-preview and the render tests check is exactly what the screen shows.
//
// Thread: the window's user-interface thread.
#include "toolkit/CairoPtr.h"
#include "toolkit/Geometry.h"
#include "toolkit/Painter.h"

namespace Toolkit {

class CPaintManagerUI;

struct WindowFrame {
    int margin = 0;           // room around the client area (the shadow's margin, or 0)
    bool shadow = false;      // draw the shadow in that margin
    bool roundedClip = true;  // cut to the rounded outline (off while maximised)
    bool opaque = false;      // no alpha channel to show through: the window starts white
    bool startsClear = false; // the target is new and fully transparent: nothing to clear
    bool outline = false;     // a thin line along the outline, where no shadow sets the window apart
};

class CWindowPainter {
public:
    // Paints into `cr`, whose origin is the top-left corner of the margin. `dirty` limits the
    // controls drawn (client coordinates); the window's frame is always drawn whole inside
    // the clip the caller set.
    void Paint(cairo_t* cr, CPaintManagerUI& manager, const WindowFrame& frame, const Rect& dirty);
    // The size or outline changed: the shadow is made again on the next paint.
    void Reset() { shadow_.reset(); }

private:
    SurfacePtr shadow_;
    Size shadowClient_;
};

}  // namespace Toolkit
