#include "ui/controls/CSequenceButtonUI.h"

#include "toolkit/PaintManager.h"

namespace Controls {

CSequenceButtonUI::CSequenceButtonUI() {
    // A button animates more slowly and turns back at the ends unless told otherwise.
    state_.periodMs = 60;
    state_.round = true;
}

CSequenceButtonUI::~CSequenceButtonUI() { KillTimer(kSequenceTimerId); }

void CSequenceButtonUI::DoInit() {
    Toolkit::CButtonUI::DoInit();
    if (state_.autostart) SetTimer(kSequenceTimerId, state_.periodMs);
}

void CSequenceButtonUI::DoEvent(Toolkit::TEventUI& event) {
    Toolkit::CButtonUI::DoEvent(event);
    if (event.type == Toolkit::EventType::Timer) RunSequenceStep(*this, state_);
}

void CSequenceButtonUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
    if (!state_.SetAttribute(name, value)) Toolkit::CButtonUI::SetAttribute(name, value);
}

void CSequenceButtonUI::Start() { StartSequence(*this, state_); }

void CSequenceButtonUI::Stop() { KillTimer(kSequenceTimerId); }

bool CSequenceButtonUI::IsRunning() const {
    return GetManager() && GetManager()->HasTimer(const_cast<CSequenceButtonUI*>(this), kSequenceTimerId);
}

}  // namespace Controls
