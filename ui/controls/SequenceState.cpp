#include "ui/controls/SequenceState.h"

#include <cstdio>
#include <cwctype>

#include "toolkit/Control.h"
#include "toolkit/Values.h"
#include "utils/StringUtils.h"

namespace Controls {

namespace {

constexpr std::size_t kMaxName = 259;

// Only the exact text "false" (case-sensitive) is false.
bool FlagValue(std::wstring_view value) { return value != L"false"; }

std::uint32_t CountValue(std::wstring_view value) {
    return static_cast<std::uint32_t>(Toolkit::ParseInt(value));
}

}  // namespace

bool SequenceState::SetAttribute(std::wstring_view name, std::wstring_view value) {
    // The pattern's name is compared exactly; the others without case.
    if (name == L"sequencebkimage") {
        pattern = value;
        return true;
    }
    const std::wstring lower = Utils::AsciiLower(std::wstring(name));
    if (lower == L"sequencecount") count = CountValue(value);
    else if (lower == L"sequencespan") periodMs = CountValue(value);
    else if (lower == L"sequenceloop") loop = FlagValue(value);
    else if (lower == L"autostart") autostart = FlagValue(value);
    else if (lower == L"sequenceround") round = FlagValue(value);
    else return false;
    return true;
}

SequenceState::Step SequenceState::Advance() {
    Step step;
    if (pattern.empty()) return step;
    // 1. Past the end. Turning back needs two frames at least; shorter round sequences behave
    //    like plain ones instead of stepping to an index that wrapped round.
    if (forward && index > count - 1) {
        if (round && count >= 2) {
            forward = false;
            index = count - 2;
        } else {
            index = 0;
            if (!loop) {
                step.stop = true;
                return step;
            }
        }
    }
    // 2. Back at the start of a round trip.
    if (!forward && index == 0) {
        if (round) forward = true;
        index = 0;
        if (!loop) {
            step.stop = true;
            return step;
        }
    }
    // 3. and 4. Show the frame, move on.
    step.show = true;
    step.frame = index;
    index = forward ? index + 1 : index - 1;
    return step;
}

std::wstring SequenceState::FrameName(std::wstring_view pattern, std::uint32_t frame) {
    std::wstring out;
    bool converted = false;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const wchar_t c = pattern[i];
        if (c != L'%') {
            out += c;
            continue;
        }
        if (i + 1 < pattern.size() && pattern[i + 1] == L'%') {
            out += L'%';
            ++i;
            continue;
        }
        // %[flags][width][.precision](d|i|u), nothing else.
        std::string conversion = "%";
        std::size_t j = i + 1;
        auto isFlag = [](wchar_t f) { return f == L'-' || f == L'+' || f == L' ' || f == L'0'; };
        while (j < pattern.size() && isFlag(pattern[j])) conversion += static_cast<char>(pattern[j++]);
        for (int part = 0; part < 2; ++part) {
            if (part == 1) {
                if (j >= pattern.size() || pattern[j] != L'.') break;
                conversion += '.';
                ++j;
            }
            int digits = 0;
            while (j < pattern.size() && std::iswdigit(pattern[j]) && digits < 3) {
                conversion += static_cast<char>(pattern[j++]);
                ++digits;
            }
        }
        if (converted || j >= pattern.size()) return {};
        const wchar_t conv = pattern[j];
        if (conv != L'd' && conv != L'i' && conv != L'u') return {};
        char buf[320];
        if (conv == L'u') {
            conversion += 'u';
            std::snprintf(buf, sizeof buf, conversion.c_str(), static_cast<unsigned>(frame));
        } else {
            conversion += 'd';
            std::snprintf(buf, sizeof buf, conversion.c_str(), static_cast<int>(frame));
        }
        out += Utils::FromUtf8(buf);
        converted = true;
        i = j;
    }
    if (out.size() > kMaxName) out.resize(kMaxName);
    return out;
}

void RunSequenceStep(Toolkit::CControlUI& control, SequenceState& state) {
    const SequenceState::Step step = state.Advance();
    if (step.stop) control.KillTimer(kSequenceTimerId);
    else if (step.show) control.SetBkImage(SequenceState::FrameName(state.pattern, step.frame));
}

void StartSequence(Toolkit::CControlUI& control, SequenceState& state) {
    state.index = 0;
    control.SetTimer(kSequenceTimerId, state.periodMs);
}

}  // namespace Controls
