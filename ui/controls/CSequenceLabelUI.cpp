#include "ui/controls/CSequenceLabelUI.h"

#include "toolkit/PaintManager.h"

namespace Controls {

CSequenceLabelUI::CSequenceLabelUI() = default;

CSequenceLabelUI::~CSequenceLabelUI() { KillTimer(kSequenceTimerId); }

void CSequenceLabelUI::DoInit() {
    Toolkit::CLabelUI::DoInit();
    if (state_.autostart) SetTimer(kSequenceTimerId, state_.periodMs);
}

void CSequenceLabelUI::DoEvent(Toolkit::TEventUI& event) {
    Toolkit::CLabelUI::DoEvent(event);
    if (event.type == Toolkit::EventType::Timer) RunSequenceStep(*this, state_);
}

void CSequenceLabelUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
    if (!state_.SetAttribute(name, value)) Toolkit::CLabelUI::SetAttribute(name, value);
}

void CSequenceLabelUI::Start() { StartSequence(*this, state_); }

void CSequenceLabelUI::Stop() { KillTimer(kSequenceTimerId); }

bool CSequenceLabelUI::IsRunning() const {
    return GetManager() && GetManager()->HasTimer(const_cast<CSequenceLabelUI*>(this), kSequenceTimerId);
}

}  // namespace Controls
