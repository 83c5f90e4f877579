// The font warm-up on Linux: a Pango font map of the worker's own, adopted by the starting thread.
#include "toolkit/FontWarmup.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include "toolkit/CairoPtr.h"
#include "toolkit/GObjectPtr.h"
#include "toolkit/TextRenderer_gtk.h"
#include "utils/StringUtils.h"

namespace Toolkit::FontWarmupSystem {
namespace {

// A Pango font map the worker filled; becomes the starting thread's default.
class PangoMap : public LoadedFonts {
public:
    explicit PangoMap(PangoFontMap* map) : map_(GObjectPtr<PangoFontMap>::Adopt(map)) {}
    PangoFontMap* Map() const { return map_.get(); }
    void Adopt() override {
        pango_cairo_font_map_set_default(PANGO_CAIRO_FONT_MAP(map_.get()));  // takes its own reference
    }

private:
    GObjectPtr<PangoFontMap> map_;
};

}  // namespace

// Lays every job out on a fresh map, with the options, language and descriptions Text::Draw
// and Text::Measure use, so their look-ups later hit what it loaded.
std::unique_ptr<LoadedFonts> LoadFonts(const std::vector<Job>& jobs, const std::wstring& language) {
    auto loaded = std::make_unique<PangoMap>(pango_cairo_font_map_new());
    const SurfacePtr surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1));
    const CairoPtr cr(cairo_create(surface.get()));
    auto context = GObjectPtr<PangoContext>::Adopt(pango_font_map_create_context(loaded->Map()));
    pango_cairo_update_context(cr.get(), context.get());
    pango_cairo_context_set_font_options(context.get(), Text::FontOptions());
    if (!language.empty())
        pango_context_set_language(context.get(), pango_language_from_string(Utils::ToUtf8(language).c_str()));
    for (const Job& job : jobs) {
        auto layout = GObjectPtr<PangoLayout>::Adopt(pango_layout_new(context.get()));
        PangoFontDescription* description = Text::NewFontDescription(job.font, language);
        pango_layout_set_font_description(layout.get(), description);
        pango_font_description_free(description);
        const std::string utf8 = Utils::ToUtf8(job.text);
        pango_layout_set_text(layout.get(), utf8.c_str(), static_cast<int>(utf8.size()));
        PangoRectangle ink, logical;
        pango_layout_get_extents(layout.get(), &ink, &logical);  // ink extents load the glyphs too
    }
    return loaded;
}

// Pango's font set-up is slow and a thread cheap: the warm-up overlaps the window's creation.
bool WorthAWorker() { return true; }

}  // namespace Toolkit::FontWarmupSystem
