#pragma once
// Loads the fonts a window's first frame needs while the window itself is still being made.
//
// The first texts a process lays out pay for fontconfig's set-up, the fallback sort of every
// font description and the opening of the large CJK faces: most of a first frame's own time.
// Start() hands that work to a worker, which lays the window's texts out on a Pango font map of
// its own while the user-interface thread builds the native window. The next text call on the
// user-interface thread (Text::Draw, Text::Measure, a native text field) runs Finish(): it waits
// for the worker, usually done by then, and makes the warmed map that thread's default, so its
// layouts find every font already loaded.
//
// Pango keeps one default font map per thread and a map needs no locking while one thread at
// a time uses it: the worker uses its map only before the hand-over, the user-interface thread
// only after (the join orders the two). A warm-up is only started before the user-interface
// thread has laid out any text: later, its own map is the warm one and must not be replaced.
//
// Thread: Start() on the user-interface thread; Finish() on any thread, where it does
// something only on the thread that started the warm-up.
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
    // Returns whether a worker was started: not when the calling thread has already laid out
    // text (see Finish), a warm-up is under way, there is no sample, or no thread can be made.
    static bool Start(const std::vector<Sample>& samples, const std::wstring& language);

    // On the thread that started a warm-up: waits for it and adopts its font map. On that
    // thread, every later Start() is refused; on others this does nothing.
    static void Finish();

    // Whether a started warm-up has not been finished yet.
    static bool Pending();
};

}  // namespace Toolkit
