#include "toolkit/BoxLayout.h"

#include <algorithm>
#include <vector>

namespace Toolkit {
namespace {

// The box rules written once, in terms of the main axis (along the layout) and the cross axis.
struct AxisView {
    bool vertical;
    int MainStart(const Rect& r) const { return vertical ? r.top : r.left; }
    int MainEnd(const Rect& r) const { return vertical ? r.bottom : r.right; }
    int CrossStart(const Rect& r) const { return vertical ? r.left : r.top; }
    int CrossEnd(const Rect& r) const { return vertical ? r.right : r.bottom; }
    int Main(Size s) const { return vertical ? s.cy : s.cx; }
    int Cross(Size s) const { return vertical ? s.cx : s.cy; }
    Size MakeSize(int main, int cross) const { return vertical ? Size{cross, main} : Size{main, cross}; }
    int PadBefore(const CControlUI& c) const { return vertical ? c.GetPadding().top : c.GetPadding().left; }
    int PadAfter(const CControlUI& c) const { return vertical ? c.GetPadding().bottom : c.GetPadding().right; }
    int CrossPadBefore(const CControlUI& c) const { return vertical ? c.GetPadding().left : c.GetPadding().top; }
    int CrossPadAfter(const CControlUI& c) const { return vertical ? c.GetPadding().right : c.GetPadding().bottom; }
    int MinMain(const CControlUI& c) const { return vertical ? c.GetMinHeight() : c.GetMinWidth(); }
    int MaxMain(const CControlUI& c) const { return vertical ? c.GetMaxHeight() : c.GetMaxWidth(); }
    int MinCross(const CControlUI& c) const { return vertical ? c.GetMinWidth() : c.GetMinHeight(); }
    int MaxCross(const CControlUI& c) const { return vertical ? c.GetMaxWidth() : c.GetMaxHeight(); }
    Rect MakeRect(int mainStart, int mainEnd, int crossStart, int crossEnd) const {
        return vertical ? Rect{crossStart, mainStart, crossEnd, mainEnd} : Rect{mainStart, crossStart, mainEnd, crossEnd};
    }
};

int Clamp(int v, int lo, int hi) { return std::max(lo, std::min(v, std::max(lo, hi))); }

}  // namespace

void CBoxLayoutUI::SetPos(const Rect& rect) {
    CControlUI::SetPos(rect);
    const AxisView ax{axis_ == Axis::Vertical};
    const Rect inner = rect_.Deflate(inset_);
    const int innerMain = ax.MainEnd(inner) - ax.MainStart(inner);
    const int innerCross = ax.CrossEnd(inner) - ax.CrossStart(inner);

    struct Entry {
        CControlUI* control;
        Size estimate;
        int main;  // fixed size along the axis, 0 when flexible
    };
    std::vector<Entry> flow;
    for (auto& item : items_) {
        if (!item->IsVisible()) continue;
        if (item->IsFloat()) {
            PlaceFloatChild(item.get());
            continue;
        }
        flow.push_back({item.get(), {}, 0});
    }

    // First pass: fixed sizes, paddings and the number of flexible children.
    int fixedTotal = 0;
    int flexible = 0;
    for (size_t i = 0; i < flow.size(); ++i) {
        Entry& e = flow[i];
        const int crossLimit = innerCross - ax.CrossPadBefore(*e.control) - ax.CrossPadAfter(*e.control);
        e.estimate = e.control->EstimateSize(ax.MakeSize(innerMain, crossLimit));
        e.main = ax.Main(e.estimate);
        if (e.main <= 0) {
            e.main = 0;
            ++flexible;
        } else {
            e.main = Clamp(e.main, ax.MinMain(*e.control), ax.MaxMain(*e.control));
            fixedTotal += e.main;
        }
        fixedTotal += ax.PadBefore(*e.control) + ax.PadAfter(*e.control);
        if (i > 0) fixedTotal += childPadding_;
    }

    const int share = flexible > 0 ? std::max(0, (innerMain - fixedTotal) / flexible) : 0;

    // What the children after index i still need along the axis (fixed sizes and paddings).
    std::vector<int> restFixed(flow.size() + 1, 0);
    for (size_t i = flow.size(); i-- > 0;) {
        const Entry& e = flow[i];
        restFixed[i] = restFixed[i + 1] + e.main + ax.PadBefore(*e.control) + ax.PadAfter(*e.control) +
                       (i + 1 < flow.size() ? childPadding_ : 0);
    }

    // With no flexible child, "childvalign"/"childalign" may move everything by part of the
    // free space.
    int pos = ax.MainStart(inner);
    if (flexible == 0) {
        const int free = std::max(0, innerMain - fixedTotal);
        const int along = axis_ == Axis::Vertical ? childVAlign_ : childAlign_;
        if (along == 1) pos += free / 2;
        else if (along == 2) pos += free;
    }
    const int across = axis_ == Axis::Vertical ? childAlign_ : childVAlign_;

    int flexSeen = 0;
    for (size_t i = 0; i < flow.size(); ++i) {
        Entry& e = flow[i];
        CControlUI& c = *e.control;
        pos += ax.PadBefore(c);
        int main = e.main;
        if (main == 0) {
            ++flexSeen;
            if (flexSeen == flexible) {
                // The last flexible child: what is left less what the rest still needs.
                const int after = restFixed[i + 1] + ax.PadAfter(c) + (i + 1 < flow.size() ? childPadding_ : 0);
                main = std::max(0, ax.MainEnd(inner) - pos - after);
            } else {
                main = share;
            }
            main = Clamp(main, ax.MinMain(c), ax.MaxMain(c));
        }
        const int crossAvail = innerCross - ax.CrossPadBefore(c) - ax.CrossPadAfter(c);
        int cross = ax.Cross(e.estimate);
        cross = cross > 0 ? Clamp(cross, ax.MinCross(c), ax.MaxCross(c)) : std::max(0, crossAvail);
        int crossStart = ax.CrossStart(inner) + ax.CrossPadBefore(c);
        if (across == 1) crossStart += (crossAvail - cross) / 2;
        else if (across == 2) crossStart += crossAvail - cross;
        c.SetPos(ax.MakeRect(pos, pos + main, crossStart, crossStart + cross));
        pos += main + ax.PadAfter(c) + childPadding_;
    }
}

}  // namespace Toolkit
