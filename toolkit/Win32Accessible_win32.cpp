#include <cmath>
#include <utility>

#include "toolkit/AccessibleTree.h"
#include "toolkit/Control.h"
#include "toolkit/PaintManager.h"
#include "toolkit/Win32WindowHost_win32.h"

#include "utils/WindowsApi_win32.h"

#include "toolkit/Win32AccessibleElement_win32.h"
#include "toolkit/Win32AccessibleRoot_win32.h"
#include "toolkit/Win32Accessible_win32.h"

namespace Toolkit {

Win32Accessibility::Win32Accessibility(Win32WindowHost& host, Win32AccessibleApi api)
    : host_(host), api_(std::move(api)) {}

Win32Accessibility::~Win32Accessibility() { Clear(); }

// ---- for the window host ----

std::optional<std::intptr_t> Win32Accessibility::OnGetObject(std::uintptr_t wParam, std::intptr_t lParam) {
    // The object id is a 32-bit value sign-extended or not, as the sender passed it.
    if (static_cast<LONG>(lParam) != UiaRootObjectId || !api_.returnRawElementProvider || !Window()) return std::nullopt;
    return api_.returnRawElementProvider(Window(), wParam, lParam, Root()->Simple());
}

IRawElementProviderSimple* Win32Accessibility::RootProvider() {
    IRawElementProviderSimple* root = Root()->Simple();
    root->AddRef();
    return root;
}

void Win32Accessibility::FocusMoved(CControlUI* from, CControlUI* to) {
    (void)from;  // the element that lost focus reports it through its property; no event of its own
    if (!to || !to->IsReallyVisible() || !api_.raiseAutomationEvent) return;
    if (api_.clientsAreListening && !api_.clientsAreListening()) return;
    const HRESULT hr = api_.raiseAutomationEvent(ElementOf(to)->Simple(), UIA_AutomationFocusChangedEventId);
    (void)hr;  // a client that stopped listening is no fault of the window
}

void Win32Accessibility::Disconnect(IRawElementProviderSimple* provider) {
    // Fails for a provider no client ever received (the core does not know it): nothing to undo.
    if (api_.disconnectProvider) (void)api_.disconnectProvider(provider);
}

void Win32Accessibility::Removed(CControlUI* control) {
    auto it = elements_.find(control);
    if (it == elements_.end()) return;
    Win32AccessibleElement* element = it->second;
    elements_.erase(it);
    element->Forget();
    Disconnect(element->Simple());
    element->Release();
}

void Win32Accessibility::Clear() {
    while (!elements_.empty()) Removed(elements_.begin()->first);
    if (!root_) return;
    Win32AccessibleRoot* root = std::exchange(root_, nullptr);
    root->Forget();
    Disconnect(root->Simple());
    root->Release();
    // Tells the core the window's providers are gone, so it drops what it still holds.
    if (api_.returnRawElementProvider && Window()) (void)api_.returnRawElementProvider(Window(), 0, 0, nullptr);
}

// ---- for the providers ----

Win32AccessibleElement* Win32Accessibility::ElementOf(CControlUI* control) {
    auto it = elements_.find(control);
    if (it == elements_.end()) it = elements_.emplace(control, new Win32AccessibleElement(*this, control, nextId_++)).first;
    return it->second;
}

Win32AccessibleRoot* Win32Accessibility::Root() {
    if (!root_) root_ = new Win32AccessibleRoot(*this);
    return root_;
}

std::vector<CControlUI*> Win32Accessibility::TopLevelControls() const {
    return AccessibleTopLevel(host_.Manager().GetRoot());
}

std::vector<CControlUI*> Win32Accessibility::ExposedChildren(const CControlUI* control) {
    return AccessibleChildren(*control);
}

Rect Win32Accessibility::ScreenPixelsOf(const Rect& client) const {
    // From the window's own pixel rectangle, as the host places its surface: the shadow margin,
    // then the client area at the window's scale.
    RECT wr;
    if (!Window() || !GetWindowRect(Window(), &wr)) return {};
    const double scale = host_.Scale();
    const int margin = host_.Margin();
    const auto px = [scale](int units) { return static_cast<int>(std::lround(units * scale)); };
    return {wr.left + px(margin + client.left), wr.top + px(margin + client.top), wr.left + px(margin + client.right),
            wr.top + px(margin + client.bottom)};
}

CControlUI* Win32Accessibility::ControlAtScreen(double x, double y) const {
    RECT wr;
    if (!Window() || !GetWindowRect(Window(), &wr)) return nullptr;
    const double scale = host_.Scale();
    const Point pt{static_cast<int>(std::floor((x - wr.left) / scale)) - host_.Margin(),
                   static_cast<int>(std::floor((y - wr.top) / scale)) - host_.Margin()};
    const Size client = host_.Manager().GetClientSize();
    if (!Rect{0, 0, client.cx, client.cy}.Contains(pt)) return nullptr;
    return NearestExposed(host_.Manager().FindControlAt(pt));
}

CControlUI* Win32Accessibility::FocusedControl() const { return host_.Manager().GetFocus(); }

bool Win32Accessibility::WindowShown() const {
    HWND hwnd = Window();
    return hwnd && IsWindowVisible(hwnd) && !IsIconic(hwnd);
}

HWND Win32Accessibility::Window() const { return host_.Handle(); }

void Win32Accessibility::Post(std::function<void()> work) { host_.Manager().Scheduler().Post(std::move(work)); }

}  // namespace Toolkit
