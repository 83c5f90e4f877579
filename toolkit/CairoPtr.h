#pragma once
// Owning handles for cairo objects, so every early return releases what
// it holds (GObject references: GObjectPtr.h).
#include <cairo.h>

#include <memory>

namespace Toolkit {

struct CairoDeleter {
    void operator()(cairo_t* p) const { cairo_destroy(p); }
    void operator()(cairo_surface_t* p) const { cairo_surface_destroy(p); }
    void operator()(cairo_pattern_t* p) const { cairo_pattern_destroy(p); }
    void operator()(cairo_region_t* p) const { cairo_region_destroy(p); }
};

using CairoPtr = std::unique_ptr<cairo_t, CairoDeleter>;
using SurfacePtr = std::unique_ptr<cairo_surface_t, CairoDeleter>;
using PatternPtr = std::unique_ptr<cairo_pattern_t, CairoDeleter>;
using RegionPtr = std::unique_ptr<cairo_region_t, CairoDeleter>;

}  // namespace Toolkit
