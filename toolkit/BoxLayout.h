#pragma once
// "VerticalLayout" and "HorizontalLayout": one box layout whose axis is chosen at
// construction, so both directions run the same code.
//
// Along the axis, each visible child takes its fixed size (kept within its minimum and
// maximum) or, when it has none, an equal share of what the fixed children and all paddings
// leave; the last flexible child takes whatever is left at its turn, so rounding never leaves
// a gap. Across the axis a child takes its fixed size or the whole inner extent less its
// padding. With no flexible child the free space stays at the end unless "childvalign"
// (vertical) or "childalign" (horizontal) moves the children.
#include "toolkit/Container.h"

namespace Toolkit {

class CBoxLayoutUI : public CContainerUI {
public:
    enum class Axis { Vertical, Horizontal };
    explicit CBoxLayoutUI(Axis axis) : axis_(axis) {}

    std::wstring_view GetClass() const override {
        return axis_ == Axis::Vertical ? L"VerticalLayout" : L"HorizontalLayout";
    }
    Axis GetAxis() const { return axis_; }
    void SetPos(const Rect& rect) override;

private:
    Axis axis_;
};

}  // namespace Toolkit
