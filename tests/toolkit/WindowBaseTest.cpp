// The window base on a scripted platform: close and modal results, default click handling,
// system commands, load failures and centring.
#include <gtest/gtest.h>

#include "support/TestSkin.h"

#include <filesystem>
#include <fstream>
#include <thread>

#include "toolkit/Button.h"
#include "toolkit/ImageCache.h"
#include "toolkit/LayoutBuilder.h"
#include "toolkit/SkinResources.h"
#include "toolkit/WindowBase.h"

using namespace Toolkit;

namespace {

struct FakeNative : INativeWindow {
    std::vector<std::string>& calls;
    Rect rect;
    Rect work{0, 0, 1280, 800};
    bool maximized = false;
    bool sensitive = true;
    explicit FakeNative(std::vector<std::string>& c, int w, int h) : calls(c), rect{0, 0, w, h} {}
    void Show(bool show, bool) override { calls.push_back(show ? "show" : "hide"); }
    void Destroy() override { calls.push_back("destroy"); }
    void SetSensitive(bool s) override { sensitive = s; calls.push_back(s ? "enable" : "disable"); }
    void Focus() override { calls.push_back("focus"); }
    void Minimize() override { calls.push_back("minimize"); }
    void Maximize() override { maximized = true; }
    void Restore() override { maximized = false; }
    bool IsMaximized() const override { return maximized; }
    Rect GetRect() const override { return rect; }
    void Move(int x, int y) override { rect = Rect{x, y, x + rect.Width(), y + rect.Height()}; }
    void Resize(int w, int h) override { rect.right = rect.left + w; rect.bottom = rect.top + h; }
    Rect GetWorkArea() const override { return work; }
    void SetKeepAbove(bool) override {}
};

struct FakePlatform : IPlatform {
    ManualScheduler clock;
    std::vector<std::string> calls;
    std::wstring failureText, failureCaption;
    int exitCode = -1;
    std::function<void()> duringLoop;  // runs once when a loop starts: the "user"
    std::unique_ptr<INativeWindow> CreateNativeWindow(CWindowBase&, CWindowBase*, const std::wstring&, int w,
                                                      int h) override {
        return std::make_unique<FakeNative>(calls, w, h);
    }
    IScheduler& Scheduler() override { return clock; }
    void RunLoop(const std::function<bool()>& keepRunning) override {
        if (duringLoop) {
            auto act = std::move(duringLoop);
            duringLoop = nullptr;
            act();
        }
        while (keepRunning() && clock.RunPosted() > 0) {
        }
        if (keepRunning()) calls.push_back("loop-starved");
    }
    void ReportLoadFailure(const std::wstring& text, const std::wstring& caption) override {
        failureText = text;
        failureCaption = caption;
    }
    void ExitProcess(int code) override { exitCode = code; }
};

class TestWindow : public CWindowBase {
public:
    explicit TestWindow(std::wstring file) : file_(std::move(file)) {}
    std::wstring GetWindowClassName() const override { return L"TestWnd"; }
    std::wstring GetSkinFile() override { return file_; }
    void InitWindow() override { ++inits; }
    void Notify(TNotifyUI& msg) override {
        if (msg.type != L"setfocus" && msg.type != L"killfocus") seen.push_back(msg.type + L":" + (msg.sender ? msg.sender->GetName() : L""));
        CWindowBase::Notify(msg);
    }
    FakeNative& Fake() { return *static_cast<FakeNative*>(Native()); }
    int inits = 0;
    std::vector<std::wstring> seen;

private:
    std::wstring file_;
};

class WindowBaseTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = TestSkin::PrivateFolder("qv_window_base");
        std::filesystem::create_directories(dir_);
        std::ofstream(dir_ + "/box.xml") << R"(<Window size="360,180" caption="0,0,0,30"><VerticalLayout>
            <HorizontalLayout height="30"><Control/><Button name="minbtn" width="15"/><Button name="maxbtn" width="15"/>
            <Button name="restorebtn" width="15" visible="false"/><Button name="closebtn" width="15"/></HorizontalLayout>
            <Button name="okBtn"/></VerticalLayout></Window>)";
        ASSERT_TRUE(SkinResources::Instance().OpenFolder(dir_));
        SetPlatform(&platform_);
    }
    void TearDown() override {
        SetPlatform(nullptr);
        SkinResources::Instance().Close();
    }
    void Click(TestWindow& w, const wchar_t* name) {
        CControlUI* c = w.FindControl(name);
        ASSERT_NE(c, nullptr);
        w.PaintManager().UpdateLayout();
        const Rect r = c->GetPos();
        const Point p{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        w.PaintManager().OnButtonDown(p);
        w.PaintManager().OnButtonUp(p);
    }
    FakePlatform platform_;
    std::string dir_;
};

}  // namespace

TEST_F(WindowBaseTest, CloseButtonEndsTheModalRunWithOne) {
    TestWindow owner(L"box.xml"), box(L"box.xml");
    ASSERT_TRUE(owner.Create(nullptr, L"owner"));
    ASSERT_TRUE(box.Create(&owner, L"消息框"));
    EXPECT_EQ(box.inits, 1);
    EXPECT_EQ(box.PaintManager().GetClientSize(), (Size{360, 180}));
    platform_.duringLoop = [&] {
        EXPECT_FALSE(owner.Fake().sensitive);  // the owner is disabled while the box runs
        Click(box, L"closebtn");
    };
    EXPECT_EQ(box.ShowModal(), 1);
    EXPECT_FALSE(box.IsWindow());
    EXPECT_TRUE(owner.Fake().sensitive);
    EXPECT_EQ(box.seen, (std::vector<std::wstring>{L"click:closebtn"}));
}

TEST_F(WindowBaseTest, CloseRequestValueIsTheResultAndACloseCommandGivesZero) {
    TestWindow a(L"box.xml");
    ASSERT_TRUE(a.Create(nullptr, L"a"));
    platform_.duringLoop = [&] { a.Close(7); };
    EXPECT_EQ(a.ShowModal(), 7);

    TestWindow b(L"box.xml");
    ASSERT_TRUE(b.Create(nullptr, L"b"));
    // Alt+F4: the system close command sends WM_CLOSE directly; no close request was posted.
    platform_.duringLoop = [&] { b.SendMessage(WM_SYSCOMMAND, SC_CLOSE); };
    EXPECT_EQ(b.ShowModal(), 0);
    EXPECT_FALSE(b.IsWindow());
    b.Close(3);  // the window is gone: nothing is posted
    EXPECT_EQ(platform_.clock.RunPosted(), 0);
}

TEST_F(WindowBaseTest, HandlerThatIgnoresCloseKeepsTheLoopRunning) {
    struct Guarded : TestWindow {
        using TestWindow::TestWindow;
        bool guard = true;
        std::intptr_t HandleMessage(std::uint32_t msg, std::uintptr_t w, std::intptr_t l) override {
            if (msg == WM_CLOSE && guard) return 0;
            return TestWindow::HandleMessage(msg, w, l);
        }
    } w(L"box.xml");
    ASSERT_TRUE(w.Create(nullptr, L"w"));
    platform_.duringLoop = [&] {
        w.Close(1);
        w.PaintManager().Scheduler().Post([&] {
            w.guard = false;
            w.Close(5);
        });
    };
    EXPECT_EQ(w.ShowModal(), 5);
}

TEST_F(WindowBaseTest, DefaultClicksAndSystemCommands) {
    TestWindow w(L"box.xml");
    ASSERT_TRUE(w.Create(nullptr, L"w"));
    Click(w, L"minbtn");
    EXPECT_NE(std::find(platform_.calls.begin(), platform_.calls.end(), "minimize"), platform_.calls.end());
    Click(w, L"maxbtn");
    EXPECT_TRUE(w.Fake().maximized);
    EXPECT_FALSE(w.FindControl(L"maxbtn")->IsVisible());
    EXPECT_TRUE(w.FindControl(L"restorebtn")->IsVisible());
    Click(w, L"restorebtn");
    EXPECT_TRUE(w.FindControl(L"maxbtn")->IsVisible());
    Click(w, L"okBtn");  // any other name: nothing
    EXPECT_TRUE(w.IsWindow());
    EXPECT_EQ(platform_.clock.RunPosted(), 0);
}

TEST_F(WindowBaseTest, PostedMessagesReachTheFiltersThenTheHandler) {
    struct Custom : TestWindow {
        using TestWindow::TestWindow;
        std::vector<std::intptr_t> got;
        std::intptr_t HandleCustomMessage(std::uint32_t msg, std::uintptr_t, std::intptr_t l, bool& handled) override {
            if (msg == WM_USER + 1000) got.push_back(l);
            handled = true;
            return 0;
        }
    } w(L"box.xml");
    ASSERT_TRUE(w.Create(nullptr, L"w"));
    std::thread worker([&] {
        for (int i = 0; i < 3; ++i) w.PostMessage(WM_USER + 1000, 0, i);
    });
    worker.join();
    platform_.clock.RunPosted();
    EXPECT_EQ(w.got, (std::vector<std::intptr_t>{0, 1, 2}));
}

TEST_F(WindowBaseTest, MissingLayoutReportsAndEndsTheProcessWithOne) {
    TestWindow w(L"NoSuchWnd.xml");
    EXPECT_FALSE(w.Create(nullptr, L"w"));
    EXPECT_EQ(platform_.failureText, L"加载资源文件失败：NoSuchWnd.xml");
    EXPECT_EQ(platform_.failureCaption, L"SkinUI");
    EXPECT_EQ(platform_.exitCode, 1);
}

TEST(WindowBase_Centre, OverTheReferenceAndKeptInsideTheWorkArea) {
    const Rect work{0, 0, 1280, 770};
    EXPECT_EQ(CenterInWorkArea({0, 0, 360, 180}, {100, 100, 700, 500}, work), (Point{220, 210}));
    EXPECT_EQ(CenterInWorkArea({0, 0, 600, 400}, work, work), (Point{340, 185}));
    EXPECT_EQ(CenterInWorkArea({0, 0, 360, 180}, {1000, 650, 1600, 1050}, work), (Point{920, 590}));
    EXPECT_EQ(CenterInWorkArea({0, 0, 360, 180}, {-300, -100, 0, 100}, work), (Point{0, 0}));
    EXPECT_EQ(CenterInWorkArea({0, 0, 2000, 900}, work, work), (Point{0, 0}));  // larger: left/top edge wins
}

TEST_F(WindowBaseTest, OpenWindowsAreListedInCreationOrderAndRefreshedNewestFirst) {
    struct Recording : TestWindow {
        Recording(std::wstring file, std::vector<std::string>& log, std::string tag)
            : TestWindow(std::move(file)), log_(log), tag_(std::move(tag)) {}
        void RefreshSkin() override {
            log_.push_back(tag_);
            TestWindow::RefreshSkin();
        }
        std::vector<std::string>& log_;
        std::string tag_;
    };
    std::vector<std::string> log;
    Recording a(L"box.xml", log, "a"), b(L"box.xml", log, "b"), c(L"box.xml", log, "c");
    ASSERT_TRUE(a.Create(nullptr, L"a"));
    ASSERT_TRUE(b.Create(&a, L"b"));
    ASSERT_TRUE(c.Create(&a, L"c"));
    EXPECT_EQ(CWindowBase::OpenWindows(), (std::vector<CWindowBase*>{&a, &b, &c}));
    b.SendMessage(WM_CLOSE);
    EXPECT_EQ(CWindowBase::OpenWindows(), (std::vector<CWindowBase*>{&a, &c}));
    CWindowBase::RefreshAllWindows();
    EXPECT_EQ(log, (std::vector<std::string>{"c", "a"}));
    {
        TestWindow d(L"box.xml");
        ASSERT_TRUE(d.Create(nullptr, L"d"));
        EXPECT_EQ(CWindowBase::OpenWindows().size(), 3u);
    }  // destroyed with the object, never closed: it must leave the list too
    EXPECT_EQ(CWindowBase::OpenWindows(), (std::vector<CWindowBase*>{&a, &c}));
    a.SendMessage(WM_CLOSE);
    c.SendMessage(WM_CLOSE);
    EXPECT_TRUE(CWindowBase::OpenWindows().empty());
}

TEST_F(WindowBaseTest, RefreshAppliesTheMessageButtonStyleAgain) {
    std::ofstream(dir_ + "/msg.xml") << R"(<Window size="200,100"><VerticalLayout>
        <Button name="msgbtn" style="okStyle"/><Button name="other" style="okStyle"/></VerticalLayout></Window>)";
    ASSERT_TRUE(SkinResources::Instance().OpenFolder(dir_));
    ASSERT_TRUE(CLayoutBuilder::LoadSharedFragment(R"(<Styles><Style shared="true" name="okStyle" value="text=&quot;OK&quot;"/></Styles>)"));
    TestWindow w(L"msg.xml");
    ASSERT_TRUE(w.Create(nullptr, L"w"));
    EXPECT_EQ(w.FindControl(L"msgbtn")->GetText(), L"OK");
    // The language changes the style; only "msgbtn" follows it.
    ASSERT_TRUE(CLayoutBuilder::LoadSharedFragment(R"(<Styles><Style shared="true" name="okStyle" value="text=&quot;確定&quot;"/></Styles>)"));
    w.PaintManager().UpdateLayout();
    CWindowBase::RefreshAllWindows();
    EXPECT_EQ(w.FindControl(L"msgbtn")->GetText(), L"確定");
    EXPECT_EQ(w.FindControl(L"other")->GetText(), L"OK");
    EXPECT_TRUE(w.PaintManager().IsUpdateNeeded());
    w.SendMessage(WM_CLOSE);
}

TEST_F(WindowBaseTest, MaximisedStateReportedLaterTogglesTheButtons) {
    // A window manager maximises asynchronously and reports the new state later.
    TestWindow w(L"box.xml");
    ASSERT_TRUE(w.Create(nullptr, L"w"));
    w.OnMaximizedChanged(true);
    EXPECT_FALSE(w.FindControl(L"maxbtn")->IsVisible());
    EXPECT_TRUE(w.FindControl(L"restorebtn")->IsVisible());
    w.OnMaximizedChanged(false);
    EXPECT_TRUE(w.FindControl(L"maxbtn")->IsVisible());
    EXPECT_FALSE(w.FindControl(L"restorebtn")->IsVisible());
}

TEST_F(WindowBaseTest, TheImagesOfTheFirstFrameAreDecodedAheadAndNoHiddenOnes) {
    ASSERT_TRUE(TestSkin::WriteFolder(dir_));
    std::ofstream(dir_ + "/first.xml") << R"(<Window size="300,200"><VerticalLayout bkimage="bg.png">
        <Button name="b" height="24" normalimage="close1.png" hotimage="close2.png"/>
        <Control name="hidden" height="10" visible="false" bkimage="nine.png"/>
        <TabLayout><Control bkimage="logo.png"/><Control bkimage="arrow.png"/></TabLayout></VerticalLayout></Window>)";
    ASSERT_TRUE(SkinResources::Instance().OpenFolder(dir_));
    ImageCache& cache = ImageCache::Instance();
    cache.Clear();
    TestWindow w(L"first.xml");
    ASSERT_TRUE(w.Create(nullptr, L"w"));
    // Held already (or being decoded): asking again starts nothing.
    EXPECT_FALSE(cache.Preload({L"bg.png", L"close1.png", L"logo.png"}));
    // Not on the first frame: a hover image, a hidden control, the unselected page.
    EXPECT_TRUE(cache.Preload({L"close2.png"}));
    EXPECT_TRUE(cache.Preload({L"nine.png"}));
    EXPECT_TRUE(cache.Preload({L"arrow.png"}));
    cache.Clear();
    w.SendMessage(WM_CLOSE);
}
