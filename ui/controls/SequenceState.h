#pragma once
// The frame-stepping state shared by the two animation controls: frame pattern, count, period
// and the loop, round and autostart switches, with the layout attributes that set them.
//
// Stepping (one call per timer tick): past the last frame a round sequence turns back (from
// count - 2), any other starts again at 0 or, without loop, stops; a round sequence coming back
// to frame 0 turns forward again, or stops without loop. The first frame shows one period
// after the start.
//
// Thread: the user-interface thread of the owning control.
#include <cstdint>
#include <string>
#include <string_view>

namespace Toolkit {
class CControlUI;
}

namespace Controls {

// The animation controls' timer.
inline constexpr std::uintptr_t kSequenceTimerId = 2100;

struct SequenceState {
    std::wstring pattern;          // "sequencebkimage"
    bool autostart = false;        // "autostart"
    bool loop = true;              // "sequenceloop"
    bool forward = true;           // current direction
    bool round = false;            // "sequenceround"
    std::uint32_t index = 0;       // the next frame to show
    std::uint32_t count = 0;       // "sequencecount"
    std::uint32_t periodMs = 30;   // "sequencespan"

    // Applies one of the attributes above; false for any other name.
    bool SetAttribute(std::wstring_view name, std::wstring_view value);

    struct Step {
        bool stop = false;   // the sequence ended: kill the timer, keep the frame shown
        bool show = false;   // show `frame`
        std::uint32_t frame = 0;
    };
    Step Advance();

    // The image name of a frame: the pattern with its one integer conversion ("%d", "%.3d",
    // "%03u", ...) replaced, cut to 259 characters. A pattern with any other conversion, or
    // more than one, names nothing (empty): skins are data and never reach printf directly.
    static std::wstring FrameName(std::wstring_view pattern, std::uint32_t frame);
};

// One timer tick on an animation control: steps `state`, shows the frame as the control's
// background image (which invalidates only the control's rectangle) or kills the timer at the
// end of a non-looping sequence.
void RunSequenceStep(Toolkit::CControlUI& control, SequenceState& state);
// Restarts at frame 0 in the current direction, one period from now.
void StartSequence(Toolkit::CControlUI& control, SequenceState& state);

}  // namespace Controls
