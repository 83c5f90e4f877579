#pragma once
// "SequenceLabel": a label whose background image steps through numbered frames of the skin
// package on timer 2100 (see SequenceState for the stepping rules). Each frame is an ordinary
// skin image, so the toolkit's image cache decodes it once and reuses it on later rounds.
//
// Thread: the user-interface thread of its window.
#include "toolkit/Label.h"
#include "ui/controls/SequenceState.h"

namespace Controls {

class CSequenceLabelUI : public Toolkit::CLabelUI {
public:
    CSequenceLabelUI();
    ~CSequenceLabelUI() override;

    std::wstring_view GetClass() const override { return L"SequenceLabel"; }
    void DoInit() override;
    void DoEvent(Toolkit::TEventUI& event) override;
    void SetAttribute(std::wstring_view name, std::wstring_view value) override;

    // Frame 0 one period from now, in the current direction.
    void Start();
    // Kills timer 2100; the frame shown stays.
    void Stop();
    bool IsRunning() const;

    void SetSequenceImage(const std::wstring& pattern) { state_.pattern = pattern; }
    const std::wstring& GetSequenceImage() const { return state_.pattern; }
    void SetSequenceCount(std::uint32_t count) { state_.count = count; }
    std::uint32_t GetSequenceCount() const { return state_.count; }
    void SetSequenceSpan(std::uint32_t ms) { state_.periodMs = ms; }
    std::uint32_t GetSequenceSpan() const { return state_.periodMs; }
    const SequenceState& State() const { return state_; }
    SequenceState& State() { return state_; }

protected:
    // A label has no state images.
    void PaintStatusImage(cairo_t*) override {}

private:
    SequenceState state_;
};

}  // namespace Controls
