#pragma once
// The floor under a skinned window's animation: a plain layered window of the same size that
// redraws a strip the size of the progress bar every frame and hands it to the system with
// UpdateLayeredWindowIndirect, either the whole window each time (as the toolkit's host does)
// or only the changed strip (the ULW dirty rectangle). No toolkit code runs, so the difference
// between the two shows what presenting the whole window costs on this system (under wine, its
// software blend of every pixel).
namespace BenchWin32 {

// The window's size in pixels (shadow margin included) and the strip that changes each frame.
struct LayeredGeometry {
    int width = 616, height = 416;                        // the demo window with its margin
    int left = 108, top = 203, right = 508, bottom = 213;  // where its progress bar lies
};

// Runs the window for `settleSeconds`, then `seconds` more, stepping every `frameMs`; returns
// the CPU use over the second span as a percentage of one core (-1 on failure) and the frames
// drawn in it in `frames`.
double RunLayeredReference(bool dirtyOnly, unsigned frameMs, double settleSeconds, double seconds, long* frames,
                           const LayeredGeometry& geometry = {});

}  // namespace BenchWin32
