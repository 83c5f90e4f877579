#include "toolkit/FontWarmup.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <map>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <tuple>

#include "toolkit/GObjectPtr.h"
#include "toolkit/TextRenderer.h"
#include "utils/StringUtils.h"
#include "utils/SignalStack.h"

namespace Toolkit {
namespace {

// Fonts beyond these are loaded on demand, as without a warm-up; so is text beyond the cut.
constexpr std::size_t kMaxFonts = 24;
constexpr std::size_t kMaxTextPerFont = 256;

// One layout per font: the texts that use it, joined, so every fallback face their characters
// need is opened too.
struct Job {
    FontInfo font;
    std::string utf8;
};

struct Warmup {
    std::vector<Job> jobs;
    std::wstring language;
    PangoFontMap* map = nullptr;  // made and filled by the worker; read after the join
    std::thread thread;
    std::thread::id owner;

    // A warm-up never finished (the process ends first) still ends its worker and its map.
    ~Warmup() {
        if (thread.joinable()) thread.join();
        if (map) g_object_unref(map);
    }
};

std::mutex g_mutex;
std::unique_ptr<Warmup> g_pending;   // guarded by g_mutex
thread_local bool t_settled = false;  // this thread has laid out text on its own map

std::vector<Job> Group(const std::vector<FontWarmup::Sample>& samples) {
    using Key = std::tuple<std::wstring, int, bool, bool>;
    std::map<Key, std::wstring> texts;
    for (const auto& s : samples) {
        if (s.text.empty()) continue;
        const Key key{s.font.face, s.font.size, s.font.bold, s.font.italic};
        auto it = texts.find(key);
        if (it == texts.end()) {
            if (texts.size() == kMaxFonts) continue;
            it = texts.emplace(key, std::wstring()).first;
        }
        std::wstring& joined = it->second;
        if (joined.size() >= kMaxTextPerFont || joined.find(s.text) != std::wstring::npos) continue;
        if (!joined.empty()) joined += L'\n';
        joined += s.text.substr(0, kMaxTextPerFont - joined.size());
    }
    std::vector<Job> jobs;
    for (const auto& [key, text] : texts) {
        FontInfo font;
        std::tie(font.face, font.size, font.bold, font.italic) = key;
        jobs.push_back({font, Utils::ToUtf8(text)});
    }
    return jobs;
}

// The worker: lays every job out on a fresh map, with the options, language and descriptions
// Text::Draw and Text::Measure use, so their look-ups later hit what it loaded.
void Work(Warmup* w) {
    Utils::EnsureAlternateSignalStack();  // a crash here is still reported
    PangoFontMap* map = pango_cairo_font_map_new();
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
    cairo_t* cr = cairo_create(surface);
    cairo_surface_destroy(surface);
    auto context = GObjectPtr<PangoContext>::Adopt(pango_font_map_create_context(map));
    pango_cairo_update_context(cr, context.get());
    pango_cairo_context_set_font_options(context.get(), Text::FontOptions());
    if (!w->language.empty())
        pango_context_set_language(context.get(), pango_language_from_string(Utils::ToUtf8(w->language).c_str()));
    for (const Job& job : w->jobs) {
        auto layout = GObjectPtr<PangoLayout>::Adopt(pango_layout_new(context.get()));
        PangoFontDescription* description = Text::NewFontDescription(job.font, w->language);
        pango_layout_set_font_description(layout.get(), description);
        pango_font_description_free(description);
        pango_layout_set_text(layout.get(), job.utf8.c_str(), static_cast<int>(job.utf8.size()));
        PangoRectangle ink, logical;
        pango_layout_get_extents(layout.get(), &ink, &logical);  // ink extents load the glyphs too
    }
    cairo_destroy(cr);
    w->map = map;
}

}  // namespace

bool FontWarmup::Start(const std::vector<Sample>& samples, const std::wstring& language) {
    if (t_settled) return false;
    std::lock_guard lock(g_mutex);
    if (g_pending) return false;
    auto warmup = std::make_unique<Warmup>();
    warmup->jobs = Group(samples);
    if (warmup->jobs.empty()) return false;
    warmup->language = language;
    warmup->owner = std::this_thread::get_id();
    try {
        // Not a waiting start: the point is that the caller goes on at once.
        warmup->thread = std::thread(Work, warmup.get());
    } catch (const std::system_error&) {
        return false;  // no thread: the fonts load on demand
    }
    g_pending = std::move(warmup);
    return true;
}

void FontWarmup::Finish() {
    if (t_settled) return;
    std::unique_ptr<Warmup> done;
    {
        std::lock_guard lock(g_mutex);
        if (g_pending && g_pending->owner != std::this_thread::get_id()) return;
        t_settled = true;
        done = std::move(g_pending);
    }
    if (!done) return;
    done->thread.join();
    if (!done->map) return;
    pango_cairo_font_map_set_default(PANGO_CAIRO_FONT_MAP(done->map));  // takes its own reference
}

bool FontWarmup::Pending() {
    std::lock_guard lock(g_mutex);
    return g_pending != nullptr;
}

}  // namespace Toolkit
