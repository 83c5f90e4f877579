// Fuzz target: the animation controls' attributes as a skin writes them, one "name=value" per
// line, then a few hundred timer steps. The frame name pattern comes from the skin and reaches a
// formatting function, so it must never be able to ask for more than one integer. A shown frame
// must lie within the sequence, and a frame name never exceed its limit.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "ui/controls/SequenceState.h"
#include "utils/StringUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring text = Utils::FromUtf8(std::string(reinterpret_cast<const char*>(data), size));
    Controls::SequenceState state;
    std::wstring_view rest(text);
    while (!rest.empty()) {
        const std::size_t end = rest.find(L'\n');
        const std::wstring_view line = rest.substr(0, end);
        const std::size_t eq = line.find(L'=');
        if (eq != std::wstring_view::npos) state.SetAttribute(line.substr(0, eq), line.substr(eq + 1));
        if (end == std::wstring_view::npos) break;
        rest.remove_prefix(end + 1);
    }
    for (int tick = 0; tick < 300; ++tick) {
        const Controls::SequenceState::Step step = state.Advance();
        if (step.stop) break;
        if (!step.show) continue;
        if (state.count > 0 && step.frame >= state.count) std::abort();
        if (Controls::SequenceState::FrameName(state.pattern, step.frame).size() > 259) std::abort();
    }
    return 0;
}
