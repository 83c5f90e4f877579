// The warm-up on Windows: DirectWrite keeps the fonts it opened in its process-wide shared
// factory, so laying the texts out on the worker (and outlining their glyphs, which opens the
// font files' outline tables) leaves them loaded for the user-interface thread; nothing needs
// handing over.
#include "toolkit/FontWarmup.h"

#include <cairo.h>

#include "toolkit/CairoPtr.h"
#include "toolkit/DWriteText_win32.h"
#include "toolkit/GlyphOutlines_win32.h"
#include "toolkit/TextStyle.h"

namespace Toolkit::FontWarmupSystem {

std::unique_ptr<LoadedFonts> LoadFonts(const std::vector<Job>& jobs, const std::wstring& language) {
    const SurfacePtr surface(cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1));
    const CairoPtr cr(cairo_create(surface.get()));
    for (const Job& job : jobs) {
        TextStyle style;
        style.wordWrap = true;  // the joined texts are one per line
        const Text::ComRef<IDWriteTextLayout> layout =
            Text::DWriteText::Instance().Layout(job.text, job.font, style, 0.0f, language);
        if (!layout) continue;
        Text::GlyphOutlines outlines(cr.get());
        outlines.Draw(layout.get(), 0, 0);
    }
    return nullptr;
}

}  // namespace Toolkit::FontWarmupSystem
