#pragma once
// Loads the fonts a window's first frame needs while the window itself is still being made.
//
// The first texts a process lays out pay for the font system's set-up, the fallback search of
// every font and the opening of the large CJK faces: most of a first frame's own time. Start()
// hands that work to a worker, which lays the window's texts out while the user-interface
// thread builds the native window. The next text call on the user-interface thread (Text::Draw,
// Text::Measure, a native text field) runs Finish(): it waits for the worker, usually done by
// then, and takes over what it loaded, so its layouts find every font already open.
//
// With Pango the worker fills a font map of its own, which Finish() makes the thread's default
// (Pango keeps one per thread; a map needs no locking while one thread at a time uses it, and
// the join orders the two). With DirectWrite the fonts live in the process-wide shared factory,
// so the worker's layouts leave them loaded for every thread. A warm-up is only started before
// the user-interface thread has laid out any text: later, its own fonts are the warm ones.
//
// Where a thread costs more than the overlap wins back (FontWarmupSystem::WorthAWorker: Windows,
// measured under wine), there is no warm-up at all: laying the texts out ahead on the same
// thread would only lay them out twice.
//
// Thread: Start() on the user-interface thread; Finish() on any thread, where it does
// something only on the thread that started the warm-up.
#include <memory>
#include <string>
#include <vector>

#include "toolkit/ResourceSet.h"

namespace Toolkit {

class FontWarmup {
public:
    struct Sample {
        std::wstring text;
        FontInfo font;
    };

    // Lays out `samples` (texts of the language `language`, as Text::Draw would) on a worker.
    // Returns whether a worker was started: not where workers do not pay (see above), when the
    // calling thread has already laid out text (see Finish), a warm-up is under way, there is
    // no sample, or no thread can be made.
    static bool Start(const std::vector<Sample>& samples, const std::wstring& language);

    // On the thread that started a warm-up: waits for it and takes over the fonts it loaded.
    // On that thread, every later Start() is refused; on others this does nothing.
    static void Finish();

    // Whether a started warm-up has not been finished yet.
    static bool Pending();
};

// The text system's part of the warm-up, one twin per system; only FontWarmup calls it.
namespace FontWarmupSystem {

// One layout per font: the texts that use it, joined, so every fallback face their characters
// need is opened too.
struct Job {
    FontInfo font;
    std::wstring text;
};

// What a worker loaded, handed to the starting thread by Finish().
class LoadedFonts {
public:
    virtual ~LoadedFonts() = default;
    // On the starting thread, after the worker has ended.
    virtual void Adopt() = 0;
};

// Lays the jobs out as Text::Draw would, on the worker. Null when nothing needs handing over.
std::unique_ptr<LoadedFonts> LoadFonts(const std::vector<Job>& jobs, const std::wstring& language);

// Whether a warm-up is worth its thread on this system. Where it is not, Start() refuses and
// the first text call loads the fonts it needs, as without a warm-up.
bool WorthAWorker();

}  // namespace FontWarmupSystem
}  // namespace Toolkit
