// The UI Automation providers of a skinned window, driven through their COM interfaces as the
// automation core would call them (wine's client side is partial). The core's own functions are
// replaced by recording ones, so events and disconnections can be checked; the window host
// reports removed controls to its accessibility object, which the tests do by hand here.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "toolkit/Container.h"
#include "toolkit/SkinResources.h"
#include "toolkit/Win32Host.h"
#include "toolkit/Win32WindowHost_win32.h"
#include "toolkit/WindowBase.h"

#include "utils/WindowsApi_win32.h"

#include "tests/toolkit/support/Win32WindowTestSupport_win32.h"

#include "toolkit/Win32AccessibleElement_win32.h"
#include "toolkit/Win32AccessibleRoot_win32.h"
#include "toolkit/Win32Accessible_win32.h"

using namespace Toolkit;

namespace {

const char kLayout[] = R"(<?xml version="1.0" encoding="utf-8"?>
<Window size="300,320" showshadow="true" shadowsize="6">
  <VerticalLayout name="root" bkcolor="#FFFFFFFF">
    <HorizontalLayout name="titleRow" height="24">
      <Control/>
      <Control name="logo" width="20" bkcolor="#FF00AA00"/>
      <Button name="closebtn" width="24" tooltip="IDCloseBtnTip" resourcetext="true" bkcolor="#FFE53935"/>
    </HorizontalLayout>
    <Label name="title" text="Choose a folder" height="30"/>
    <Control height="10"/>
    <Button name="okbtn" text="Install" height="40"/>
    <CheckBox name="desk" text="Desktop icon" height="30"/>
    <Button name="ghost" text="Hidden" height="20" visible="false"/>
    <Progress name="bar" height="10" min="0" max="100" value="40"/>
    <Edit name="dir" text="C:\Pelmora" height="30"/>
    <HorizontalLayout name="group" text="Shortcuts" height="30">
      <Control/>
      <CheckBox name="menu" text="Start menu" width="120"/>
    </HorizontalLayout>
  </VerticalLayout>
</Window>
)";

// The UI thread is an apartment-threaded one, as the providers' COM threading asks; the host
// set-up keeps the apartment it finds.
class Environment : public win32test::WindowEnvironment {
public:
    Environment() : WindowEnvironment("a11y.xml", kLayout) {}
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        WindowEnvironment::SetUp();
    }
    void TearDown() override {
        WindowEnvironment::TearDown();
        CoUninitialize();
    }
};
const auto* g_env = ::testing::AddGlobalTestEnvironment(new Environment);

using win32test::Pump;
using win32test::PumpUntil;

class TestWindow : public CWindowBase {
public:
    std::wstring GetWindowClassName() const override { return L"A11yTestWnd"; }
    std::wstring GetSkinFile() override { return L"a11y.xml"; }
    void Notify(TNotifyUI& msg) override {
        seen.push_back(msg.type + L":" + (msg.sender ? msg.sender->GetName() : L""));
        CWindowBase::Notify(msg);
    }
    bool Saw(const std::wstring& what) const { return std::find(seen.begin(), seen.end(), what) != seen.end(); }
    Win32WindowHost& Host() { return *static_cast<Win32WindowHost*>(Native()); }
    std::vector<std::wstring> seen;
};

// What the tests saw of the automation core.
struct Core {
    std::vector<std::pair<IRawElementProviderSimple*, EVENTID>> events;
    std::vector<IRawElementProviderSimple*> disconnected;
    std::vector<std::pair<LPARAM, IRawElementProviderSimple*>> returned;

    Win32AccessibleApi Api() {
        Win32AccessibleApi api;
        api.hostProviderFromHwnd = [](HWND, IRawElementProviderSimple** out) {
            *out = nullptr;
            return S_OK;
        };
        api.returnRawElementProvider = [this](HWND, WPARAM, LPARAM lParam, IRawElementProviderSimple* p) -> LRESULT {
            returned.emplace_back(lParam, p);
            return 1234;
        };
        api.raiseAutomationEvent = [this](IRawElementProviderSimple* p, EVENTID id) {
            events.emplace_back(p, id);
            return S_OK;
        };
        api.disconnectProvider = [this](IRawElementProviderSimple* p) {
            disconnected.push_back(p);
            return S_OK;
        };
        api.clientsAreListening = [] { return TRUE; };
        return api;
    }
    bool Raised(IRawElementProviderSimple* p, EVENTID id) const {
        return std::find(events.begin(), events.end(), std::make_pair(p, id)) != events.end();
    }
};

// A fragment pointer the test owns one reference of.
class Ref {
public:
    Ref() = default;
    explicit Ref(IRawElementProviderFragment* p) : p_(p) {}
    ~Ref() {
        if (p_) p_->Release();
    }
    Ref(Ref&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    Ref& operator=(Ref&& o) noexcept {
        if (this != &o) {
            if (p_) p_->Release();
            p_ = std::exchange(o.p_, nullptr);
        }
        return *this;
    }
    IRawElementProviderFragment* operator->() const { return p_; }
    IRawElementProviderFragment* get() const { return p_; }
    IRawElementProviderSimple* Simple() const {
        IRawElementProviderSimple* s = nullptr;
        if (p_ && SUCCEEDED(p_->QueryInterface(__uuidof(IRawElementProviderSimple), reinterpret_cast<void**>(&s))))
            s->Release();  // the same object: borrowed for the test's comparisons
        return s;
    }
    Ref Go(NavigateDirection d) const {
        IRawElementProviderFragment* out = nullptr;
        EXPECT_EQ(p_->Navigate(d, &out), S_OK);
        return Ref(out);
    }

private:
    IRawElementProviderFragment* p_ = nullptr;
};

Ref RootOf(Win32Accessibility& a11y) {
    IRawElementProviderSimple* simple = a11y.RootProvider();
    IRawElementProviderFragment* fragment = nullptr;
    EXPECT_EQ(simple->QueryInterface(__uuidof(IRawElementProviderFragment), reinterpret_cast<void**>(&fragment)), S_OK);
    simple->Release();
    return Ref(fragment);
}

VARIANT Property(const Ref& e, PROPERTYID id) {
    VARIANT v;
    v.vt = VT_EMPTY;
    EXPECT_EQ(e.Simple()->GetPropertyValue(id, &v), S_OK);
    return v;
}

std::wstring Name(const Ref& e) {
    VARIANT v = Property(e, UIA_NamePropertyId);
    std::wstring s = v.vt == VT_BSTR && v.bstrVal ? std::wstring(v.bstrVal, SysStringLen(v.bstrVal)) : L"?";
    VariantClear(&v);
    return s;
}

std::wstring AutomationId(const Ref& e) {
    VARIANT v = Property(e, UIA_AutomationIdPropertyId);
    std::wstring s = v.vt == VT_BSTR && v.bstrVal ? std::wstring(v.bstrVal, SysStringLen(v.bstrVal)) : L"";
    VariantClear(&v);
    return s;
}

long Int(const Ref& e, PROPERTYID id) {
    VARIANT v = Property(e, id);
    return v.vt == VT_I4 ? v.lVal : -1;
}

bool Bool(const Ref& e, PROPERTYID id) {
    VARIANT v = Property(e, id);
    EXPECT_EQ(v.vt, VT_BOOL);
    return v.vt == VT_BOOL && v.boolVal == VARIANT_TRUE;
}

// The element with this automation id among the window's children.
Ref Child(Win32Accessibility& a11y, const std::wstring& id) {
    for (Ref c = RootOf(a11y).Go(NavigateDirection_FirstChild); c.get();
         c = c.Go(NavigateDirection_NextSibling))
        if (AutomationId(c) == id) return c;
    ADD_FAILURE() << "no element " << std::string(id.begin(), id.end());
    return Ref();
}

template <typename I>
I* Pattern(const Ref& e, PATTERNID id) {
    IUnknown* unknown = nullptr;
    EXPECT_EQ(e.Simple()->GetPatternProvider(id, &unknown), S_OK);
    if (!unknown) return nullptr;
    I* pattern = nullptr;
    EXPECT_EQ(unknown->QueryInterface(__uuidof(I), reinterpret_cast<void**>(&pattern)), S_OK);
    unknown->Release();
    return pattern;
}

class AccessibleTest : public ::testing::Test {
protected:
    void SetUp() override {
        baseline_ = Win32AccessibleElement::Live() + Win32AccessibleRoot::Live();
        ASSERT_TRUE(w.Create(nullptr, L"Accessible test"));
        w.PaintManager().UpdateLayout();
        a11y = std::make_unique<Win32Accessibility>(w.Host(), core.Api());
    }
    void TearDown() override {
        a11y.reset();
        w.Close();
        PumpUntil([&] { return !w.IsWindow(); }, 2000);
        // Every element made was released exactly once more than it was referenced.
        EXPECT_EQ(Win32AccessibleElement::Live() + Win32AccessibleRoot::Live(), baseline_);
    }

    TestWindow w;
    Core core;
    std::unique_ptr<Win32Accessibility> a11y;
    int baseline_ = 0;
};

TEST_F(AccessibleTest, TreeListsTheVisibleControlsInOrderWithTypesAndNames) {
    Ref root = RootOf(*a11y);
    // The root layout and the title row only group, and the spacers draw nothing: the
    // controls are the window's own children.
    struct Expected {
        const wchar_t* id;
        int type;
        const wchar_t* name;
    };
    const Expected expected[] = {{L"logo", UIA_ImageControlTypeId, L""},
                                 {L"closebtn", UIA_ButtonControlTypeId, L"IDCloseBtnTip"},  // no table: the id
                                 {L"title", UIA_TextControlTypeId, L"Choose a folder"},
                                 {L"okbtn", UIA_ButtonControlTypeId, L"Install"},
                                 {L"desk", UIA_CheckBoxControlTypeId, L"Desktop icon"},
                                 {L"bar", UIA_ProgressBarControlTypeId, L""},
                                 {L"dir", UIA_EditControlTypeId, L"C:\\Pelmora"},
                                 {L"group", UIA_PaneControlTypeId, L"Shortcuts"}};
    std::vector<Ref> seen;
    for (Ref c = root.Go(NavigateDirection_FirstChild); c.get();) {
        Ref next = c.Go(NavigateDirection_NextSibling);
        seen.push_back(std::move(c));
        c = std::move(next);
    }
    ASSERT_EQ(seen.size(), std::size(expected));  // the hidden button is left out
    for (size_t i = 0; i < seen.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(AutomationId(seen[i]), expected[i].id);
        EXPECT_EQ(Int(seen[i], UIA_ControlTypePropertyId), expected[i].type);
        EXPECT_EQ(Name(seen[i]), expected[i].name);
        EXPECT_TRUE(Bool(seen[i], UIA_IsControlElementPropertyId));
        EXPECT_EQ(seen[i].Go(NavigateDirection_Parent).get(), root.get());
        IRawElementProviderFragmentRoot* fr = nullptr;
        ASSERT_EQ(seen[i]->get_FragmentRoot(&fr), S_OK);
        EXPECT_EQ(static_cast<IUnknown*>(fr), static_cast<IUnknown*>(static_cast<IRawElementProviderFragmentRoot*>(
                                                  static_cast<Win32AccessibleRoot*>(a11y->Root()))));
        fr->Release();
    }
    EXPECT_EQ(root.Go(NavigateDirection_LastChild).get(), seen.back().get());
    EXPECT_EQ(seen[3].Go(NavigateDirection_PreviousSibling).get(), seen[2].get());
    EXPECT_EQ(seen[0].Go(NavigateDirection_PreviousSibling).get(), nullptr);
    EXPECT_EQ(seen.back().Go(NavigateDirection_NextSibling).get(), nullptr);

    // The named group keeps its children (its spacer left out).
    Ref menu = seen.back().Go(NavigateDirection_FirstChild);
    EXPECT_EQ(AutomationId(menu), L"menu");
    EXPECT_EQ(seen.back().Go(NavigateDirection_LastChild).get(), menu.get());
    EXPECT_EQ(menu.Go(NavigateDirection_Parent).get(), seen.back().get());
    EXPECT_EQ(menu.Go(NavigateDirection_PreviousSibling).get(), nullptr);

    // Runtime ids: the core's append marker and a number of the element's own, the same each time.
    auto id = [](const Ref& e) {
        SAFEARRAY* ids = nullptr;
        EXPECT_EQ(e->GetRuntimeId(&ids), S_OK);
        LONG values[2] = {0, 0};
        for (LONG i = 0; i < 2 && ids; ++i) SafeArrayGetElement(ids, &i, &values[i]);
        if (ids) SafeArrayDestroy(ids);
        EXPECT_EQ(values[0], UiaAppendRuntimeId);
        return values[1];
    };
    EXPECT_NE(id(seen[3]), id(seen[4]));
    EXPECT_EQ(id(seen[3]), id(Child(*a11y, L"okbtn")));
}

TEST_F(AccessibleTest, RectanglesAreScreenPixelsAndHitTestingFindsTheControl) {
    Ref ok = Child(*a11y, L"okbtn");
    RECT wr;
    ASSERT_TRUE(GetWindowRect(w.Host().Handle(), &wr));
    const double scale = w.Host().Scale();
    const int margin = w.Host().Margin();
    const Rect pos = w.FindControl(L"okbtn")->GetPos();
    UiaRect r{};
    ASSERT_EQ(ok->get_BoundingRectangle(&r), S_OK);
    EXPECT_NEAR(r.left, wr.left + (margin + pos.left) * scale, 1);
    EXPECT_NEAR(r.top, wr.top + (margin + pos.top) * scale, 1);
    EXPECT_NEAR(r.width, pos.Width() * scale, 1);
    EXPECT_NEAR(r.height, pos.Height() * scale, 1);
    EXPECT_FALSE(Bool(ok, UIA_IsOffscreenPropertyId));

    IRawElementProviderFragmentRoot* root = a11y->Root()->FragmentRoot();
    IRawElementProviderFragment* hit = nullptr;
    ASSERT_EQ(root->ElementProviderFromPoint(r.left + r.width / 2, r.top + r.height / 2, &hit), S_OK);
    EXPECT_EQ(hit, ok.get());
    if (hit) hit->Release();
    // A spacer is no element: the point belongs to the window itself.
    const Rect gap = w.FindControl(L"titleRow")->GetPos();
    ASSERT_EQ(root->ElementProviderFromPoint(wr.left + (margin + gap.left + 2) * scale,
                                             wr.top + (margin + gap.top + 2) * scale, &hit),
              S_OK);
    EXPECT_EQ(hit, nullptr);
    // Beside the window's client area (in its shadow where the desktop draws one): no element.
    ASSERT_EQ(root->ElementProviderFromPoint(wr.left + margin * scale - 2, wr.top + margin * scale - 2, &hit), S_OK);
    EXPECT_EQ(hit, nullptr);

    // A control hidden after the element was made is off screen with no rectangle.
    w.FindControl(L"okbtn")->SetVisible(false);
    EXPECT_TRUE(Bool(ok, UIA_IsOffscreenPropertyId));
    ASSERT_EQ(ok->get_BoundingRectangle(&r), S_OK);
    EXPECT_EQ(r.width, 0);
}

TEST_F(AccessibleTest, StatesAndFocusFollowTheControls) {
    Ref ok = Child(*a11y, L"okbtn");
    Ref title = Child(*a11y, L"title");
    EXPECT_TRUE(Bool(ok, UIA_IsEnabledPropertyId));
    EXPECT_TRUE(Bool(ok, UIA_IsKeyboardFocusablePropertyId));
    EXPECT_FALSE(Bool(title, UIA_IsKeyboardFocusablePropertyId));
    EXPECT_FALSE(Bool(ok, UIA_HasKeyboardFocusPropertyId));

    CControlUI* button = w.FindControl(L"okbtn");
    ASSERT_EQ(ok->SetFocus(), S_OK);  // a client moves the focus
    EXPECT_TRUE(button->IsFocused());
    EXPECT_TRUE(Bool(ok, UIA_HasKeyboardFocusPropertyId));
    IRawElementProviderFragment* focus = nullptr;
    ASSERT_EQ(a11y->Root()->FragmentRoot()->GetFocus(&focus), S_OK);
    EXPECT_EQ(focus, ok.get());
    if (focus) focus->Release();
    EXPECT_EQ(title->SetFocus(), static_cast<HRESULT>(UIA_E_ELEMENTNOTENABLED));

    a11y->FocusMoved(nullptr, button);  // what the host reports when the toolkit moves focus
    EXPECT_TRUE(core.Raised(ok.Simple(), UIA_AutomationFocusChangedEventId));

    button->SetEnabled(false);
    EXPECT_FALSE(Bool(ok, UIA_IsEnabledPropertyId));
    IInvokeProvider* invoke = Pattern<IInvokeProvider>(ok, UIA_InvokePatternId);
    ASSERT_TRUE(invoke);
    EXPECT_EQ(invoke->Invoke(), static_cast<HRESULT>(UIA_E_ELEMENTNOTENABLED));
    invoke->Release();
}

TEST_F(AccessibleTest, InvokeClicksFromTheQueueAndToggleFlipsTheCheckBox) {
    Ref ok = Child(*a11y, L"okbtn");
    Ref desk = Child(*a11y, L"desk");
    Ref title = Child(*a11y, L"title");
    // Each kind offers its own pattern only.
    EXPECT_EQ(Pattern<IToggleProvider>(ok, UIA_TogglePatternId), nullptr);
    EXPECT_EQ(Pattern<IInvokeProvider>(desk, UIA_InvokePatternId), nullptr);
    EXPECT_EQ(Pattern<IInvokeProvider>(title, UIA_InvokePatternId), nullptr);

    IInvokeProvider* invoke = Pattern<IInvokeProvider>(ok, UIA_InvokePatternId);
    ASSERT_TRUE(invoke);
    ASSERT_EQ(invoke->Invoke(), S_OK);
    EXPECT_FALSE(w.Saw(L"click:okbtn"));  // not inside the automation call
    ASSERT_TRUE(PumpUntil([&] { return w.Saw(L"click:okbtn"); }));
    EXPECT_TRUE(core.Raised(ok.Simple(), UIA_Invoke_InvokedEventId));
    invoke->Release();

    IToggleProvider* toggle = Pattern<IToggleProvider>(desk, UIA_TogglePatternId);
    ASSERT_TRUE(toggle);
    ToggleState state = ToggleState_On;
    ASSERT_EQ(toggle->get_ToggleState(&state), S_OK);
    EXPECT_EQ(state, ToggleState_Off);
    ASSERT_EQ(toggle->Toggle(), S_OK);
    ASSERT_TRUE(PumpUntil([&] { return w.Saw(L"selectchanged:desk"); }));
    ASSERT_EQ(toggle->get_ToggleState(&state), S_OK);
    EXPECT_EQ(state, ToggleState_On);
    EXPECT_TRUE(w.FindControl(L"desk")->IsChecked());
    toggle->Release();

    Ref bar = Child(*a11y, L"bar");
    IRangeValueProvider* range = Pattern<IRangeValueProvider>(bar, UIA_RangeValuePatternId);
    ASSERT_TRUE(range);
    double value = 0, maximum = 0;
    BOOL readOnly = FALSE;
    EXPECT_EQ(range->get_Value(&value), S_OK);
    EXPECT_EQ(range->get_Maximum(&maximum), S_OK);
    EXPECT_EQ(range->get_IsReadOnly(&readOnly), S_OK);
    EXPECT_EQ(value, 40);
    EXPECT_EQ(maximum, 100);
    EXPECT_TRUE(readOnly);
    EXPECT_EQ(range->SetValue(10), static_cast<HRESULT>(UIA_E_INVALIDOPERATION));
    range->Release();
}

TEST_F(AccessibleTest, RemovedControlsElementIsUnavailableAndItsReferencesStaySound) {
    Ref ok = Child(*a11y, L"okbtn");
    IRawElementProviderSimple* simple = ok.Simple();
    EXPECT_EQ(simple->AddRef(), 3u);  // this object's, the test's, and this one
    EXPECT_EQ(simple->Release(), 2u);

    // A click asked for, then the control goes before the queue runs: nothing is clicked.
    IInvokeProvider* invoke = Pattern<IInvokeProvider>(ok, UIA_InvokePatternId);
    ASSERT_TRUE(invoke);
    ASSERT_EQ(invoke->Invoke(), S_OK);
    auto* root = static_cast<CContainerUI*>(w.FindControl(L"root"));
    CControlUI* button = w.FindControl(L"okbtn");
    a11y->Removed(button);  // as the host reports it from the control's destructor
    ASSERT_TRUE(root->Remove(button));
    EXPECT_EQ(std::count(core.disconnected.begin(), core.disconnected.end(), simple), 1);
    Pump(100);
    EXPECT_FALSE(w.Saw(L"click:okbtn"));

    VARIANT v;
    EXPECT_EQ(simple->GetPropertyValue(UIA_NamePropertyId, &v), static_cast<HRESULT>(UIA_E_ELEMENTNOTAVAILABLE));
    EXPECT_EQ(v.vt, VT_EMPTY);
    IRawElementProviderFragment* next = nullptr;
    EXPECT_EQ(ok->Navigate(NavigateDirection_Parent, &next), static_cast<HRESULT>(UIA_E_ELEMENTNOTAVAILABLE));
    EXPECT_EQ(next, nullptr);
    UiaRect r{};
    EXPECT_EQ(ok->get_BoundingRectangle(&r), static_cast<HRESULT>(UIA_E_ELEMENTNOTAVAILABLE));
    EXPECT_EQ(invoke->Invoke(), static_cast<HRESULT>(UIA_E_ELEMENTNOTAVAILABLE));
    invoke->Release();
    // Only the test's reference is left; the sibling list closed over the gap.
    EXPECT_EQ(simple->AddRef(), 2u);
    EXPECT_EQ(simple->Release(), 1u);
    Ref before = Child(*a11y, L"desk").Go(NavigateDirection_PreviousSibling);
    EXPECT_EQ(AutomationId(before), L"title");
    const int live = Win32AccessibleElement::Live();
    ok = Ref();
    EXPECT_EQ(Win32AccessibleElement::Live(), live - 1);
}

TEST_F(AccessibleTest, GetObjectAndClearHandOutAndTakeBackTheProviders) {
    EXPECT_FALSE(a11y->OnGetObject(0, OBJID_CLIENT).has_value());  // MSAA's: the default handling
    const auto answer = a11y->OnGetObject(0, UiaRootObjectId);
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(*answer, 1234);
    // The object id as a zero-extended 32-bit value, as some senders pass it.
    EXPECT_TRUE(a11y->OnGetObject(0, static_cast<std::intptr_t>(static_cast<std::uint32_t>(UiaRootObjectId))));
    ASSERT_EQ(core.returned.size(), 2u);
    EXPECT_EQ(core.returned[0].second, a11y->Root()->Simple());

    Ref root = RootOf(*a11y);
    Ref ok = Child(*a11y, L"okbtn");
    a11y->Clear();
    EXPECT_EQ(std::count(core.disconnected.begin(), core.disconnected.end(), ok.Simple()), 1);
    EXPECT_EQ(std::count(core.disconnected.begin(), core.disconnected.end(), root.Simple()), 1);
    EXPECT_EQ(core.returned.back(), std::make_pair(LPARAM(0), static_cast<IRawElementProviderSimple*>(nullptr)));
    IRawElementProviderFragment* child = nullptr;
    EXPECT_EQ(root->Navigate(NavigateDirection_FirstChild, &child), static_cast<HRESULT>(UIA_E_ELEMENTNOTAVAILABLE));
    VARIANT v;
    EXPECT_EQ(ok.Simple()->GetPropertyValue(UIA_NamePropertyId, &v), static_cast<HRESULT>(UIA_E_ELEMENTNOTAVAILABLE));
}

TEST_F(AccessibleTest, CallsFromAnotherThreadAreRefused) {
    Ref ok = Child(*a11y, L"okbtn");
    HRESULT name = S_OK, invoke = S_OK;
    std::thread other([&] {
        VARIANT v;
        name = ok.Simple()->GetPropertyValue(UIA_NamePropertyId, &v);
        IUnknown* pattern = nullptr;
        invoke = ok.Simple()->GetPatternProvider(UIA_InvokePatternId, &pattern);
    });
    other.join();
    EXPECT_EQ(name, RPC_E_WRONG_THREAD);
    EXPECT_EQ(invoke, RPC_E_WRONG_THREAD);
}

TEST(AccessibleSystemTest, TheSystemsAutomationCoreLoadsWithEveryFunction) {
    const Win32AccessibleApi api = Win32AccessibleApi::System();
    EXPECT_TRUE(api.hostProviderFromHwnd);
    EXPECT_TRUE(api.returnRawElementProvider);
    EXPECT_TRUE(api.raiseAutomationEvent);
    EXPECT_TRUE(api.disconnectProvider);
    EXPECT_TRUE(api.clientsAreListening);
    // The host provider of a real window: what the fragment root hands the core.
    HWND hwnd = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(hwnd, nullptr);
    IRawElementProviderSimple* host = nullptr;
    EXPECT_EQ(api.hostProviderFromHwnd(hwnd, &host), S_OK);
    EXPECT_NE(host, nullptr);
    if (host) host->Release();
    DestroyWindow(hwnd);
}

}  // namespace
