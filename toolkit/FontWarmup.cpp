#include "toolkit/FontWarmup.h"

#include <map>
#include <mutex>
#include <system_error>
#include <thread>
#include <tuple>

#include "utils/SignalStack.h"

namespace Toolkit {
namespace {

using FontWarmupSystem::Job;
using FontWarmupSystem::LoadedFonts;

// Fonts beyond these are loaded on demand, as without a warm-up; so is text beyond the cut.
constexpr std::size_t kMaxFonts = 24;
constexpr std::size_t kMaxTextPerFont = 256;

// A warm-up under way. The worker writes `loaded` only; the starting thread reads it after
// the join.
struct Warmup {
    std::vector<Job> jobs;
    std::wstring language;
    std::unique_ptr<LoadedFonts> loaded;
    std::thread thread;
    std::thread::id owner;

    // A warm-up never finished (the process ends first) still ends its worker.
    ~Warmup() {
        if (thread.joinable()) thread.join();
    }
};

std::mutex g_mutex;
std::unique_ptr<Warmup> g_pending;   // guarded by g_mutex
thread_local bool t_settled = false;  // this thread has laid out text on its own fonts

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
        jobs.push_back({font, text});
    }
    return jobs;
}

void Work(Warmup* w) {
    Utils::EnsureAlternateSignalStack();  // a crash here is still reported
    w->loaded = FontWarmupSystem::LoadFonts(w->jobs, w->language);
}

}  // namespace

bool FontWarmup::Start(const std::vector<Sample>& samples, const std::wstring& language) {
    if (t_settled || !FontWarmupSystem::WorthAWorker()) return false;
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
    if (done->loaded) done->loaded->Adopt();
}

bool FontWarmup::Pending() {
    std::lock_guard lock(g_mutex);
    return g_pending != nullptr;
}

}  // namespace Toolkit
