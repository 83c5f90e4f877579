// Notifications (synchronous and queued), control timers and the message filters.
#include <gtest/gtest.h>

#include <thread>

#include "TreeHelpers.h"
#include "toolkit/Button.h"
#include "toolkit/CheckBox.h"
#include "toolkit/Combo.h"
#include "toolkit/Container.h"

using namespace Toolkit;

namespace {
const char* kNotifyLayout = R"(<Window size="300,100"><HorizontalLayout name="root">
    <Button name="btn" width="100"/><CheckBox name="cb" width="100"/>
    <Combo name="combo"><ListLabelElement text="a"/><ListLabelElement text="b" selected="true"/></Combo>
    </HorizontalLayout></Window>)";

struct Recorder : INotifyUI {
    std::vector<std::wstring>& out;
    std::wstring tag;
    Recorder(std::vector<std::wstring>& o, std::wstring t) : out(o), tag(std::move(t)) {}
    void Notify(TNotifyUI& msg) override { out.push_back(tag + L":" + msg.type); }
};
}  // namespace

TEST(Notify_Sync, DelegatesThenReceiversInRegistrationOrder) {
    Tree t(kNotifyLayout);
    std::vector<std::wstring> order;
    Recorder second(order, L"r2");
    t.manager.AddNotifier(&second);
    CControlUI* btn = t.Find("btn");
    btn->AddNotifyDelegate([&](TNotifyUI& m) { order.push_back(L"d1:" + m.type); return true; });
    btn->AddNotifyDelegate([&](TNotifyUI& m) { order.push_back(L"d2:" + m.type); return false; });
    btn->AddNotifyDelegate([&](TNotifyUI& m) { order.push_back(L"d3:" + m.type); return true; });
    t.manager.SendNotify(btn, L"custom", 7, 8);
    // A delegate returning false stops the delegates, not the receivers.
    EXPECT_EQ(order, (std::vector<std::wstring>{L"d1:custom", L"d2:custom", L"r2:custom"}));
    EXPECT_EQ(t.log, (std::vector<std::wstring>{L"custom:btn:7:8"}));
}

TEST(Notify_Async, QueuedInOrderAndDeliveredOnTheSchedulerTurn) {
    Tree t(kNotifyLayout);
    CControlUI* btn = t.Find("btn");
    t.manager.SendNotify(btn, L"first", 1, 0, true);
    t.manager.PostNotify(btn, L"second", 2, 0);
    EXPECT_TRUE(t.log.empty());
    t.clock.RunPosted();
    EXPECT_EQ(t.log, (std::vector<std::wstring>{L"first:btn:1:0", L"second:btn:2:0"}));
}

TEST(Notify_Async, ANestedLoopStartedByADeliveredNotificationGetsTheOnesQueuedAfterIt) {
    // A modal box opened from a notification runs a nested loop until its own close request
    // arrives; that request and everything queued behind the opening notification must be
    // delivered inside the nested loop, in order, not after the box has returned.
    Tree t(kNotifyLayout);
    CControlUI* btn = t.Find("btn");
    std::vector<std::wstring> seen;
    bool closed = false;
    btn->AddNotifyDelegate([&](TNotifyUI& m) {
        seen.push_back(m.type);
        if (m.type == L"close") closed = true;
        if (m.type == L"open") {
            t.clock.RunPosted();  // the box's loop
            seen.push_back(closed ? L"box-closed" : L"box-left-open");
        }
        return true;
    });
    t.manager.PostNotify(btn, L"open");
    t.manager.PostNotify(btn, L"close");
    t.manager.PostNotify(btn, L"after");
    t.clock.RunPosted();
    EXPECT_EQ(seen, (std::vector<std::wstring>{L"open", L"close", L"after", L"box-closed"}));
    // Nothing is delivered twice and the queue takes new notifications afterwards.
    t.manager.PostNotify(btn, L"later");
    t.clock.RunPosted();
    EXPECT_EQ(seen.back(), L"later");
    EXPECT_EQ(seen.size(), 5u);
}

TEST(Notify_Async, NotificationOfARemovedControlIsDropped) {
    Tree t(kNotifyLayout);
    t.manager.PostNotify(t.Find("btn"), L"stale");
    t.manager.PostNotify(t.Find("cb"), L"kept");
    auto* root = t.As<CContainerUI>("root");
    root->Remove(t.Find("btn"));
    t.clock.RunPosted();
    EXPECT_EQ(t.log, (std::vector<std::wstring>{L"kept:cb:0:0"}));
}

TEST(Notify_Async, PostedFromWorkerThreadsArriveInEachThreadsOrder) {
    Tree t(kNotifyLayout);
    CControlUI* root = t.Find("root");
    std::vector<std::thread> workers;
    for (int w = 0; w < 4; ++w)
        workers.emplace_back([&, w] {
            for (int i = 0; i < 200; ++i) t.manager.PostNotify(root, L"install", w, i);
        });
    for (auto& th : workers) th.join();
    t.clock.RunPosted();
    ASSERT_EQ(t.log.size(), 800u);
    int next[4] = {0, 0, 0, 0};
    for (const auto& line : t.log) {
        int w = 0, i = 0;
        ASSERT_EQ(swscanf(line.c_str(), L"install:root:%d:%d", &w, &i), 2);
        EXPECT_EQ(i, next[w]++);
    }
}

TEST(Notify_Async, ManagerGoneBeforeDeliveryDropsTheQueue) {
    ManualScheduler clock;
    {
        CPaintManagerUI manager;
        manager.SetScheduler(&clock);
        manager.PostNotify(nullptr, L"late");
    }
    EXPECT_EQ(clock.RunPosted(), 1);  // the delivery runs and finds nobody
}

TEST(Notify_Controls, ClickSelectChangedItemSelect) {
    Tree t(kNotifyLayout);
    t.Click("btn");
    t.Click("cb");
    EXPECT_EQ(t.log, (std::vector<std::wstring>{L"click:btn:0:0", L"click:cb:0:0", L"selectchanged:cb:1:0"}));
    t.log.clear();
    auto* combo = t.As<CComboUI>("combo");
    EXPECT_EQ(combo->GetCurSel(), 1);
    EXPECT_TRUE(combo->SelectItem(1));  // current item: nothing
    EXPECT_TRUE(combo->SelectItem(0));
    EXPECT_FALSE(combo->SelectItem(5));
    t.As<CCheckBoxUI>("cb")->Selected(false, false);  // a call that does not ask for the event
    EXPECT_EQ(t.log, (std::vector<std::wstring>{L"itemselect:combo:0:1"}));
}

TEST(Timers_Control, ExpiryRaisesTimerWithItsIdUntilKilled) {
    Tree t(kNotifyLayout);
    CControlUI* btn = t.Find("btn");
    ASSERT_TRUE(btn->SetTimer(2100, 30));
    t.clock.Advance(29);
    EXPECT_TRUE(t.log.empty());
    t.clock.Advance(61);
    EXPECT_EQ(t.log, (std::vector<std::wstring>{L"timer:btn:2100:0", L"timer:btn:2100:0", L"timer:btn:2100:0"}));
    btn->KillTimer(2100);
    t.clock.Advance(100);
    EXPECT_EQ(t.log.size(), 3u);
    // Restarting an id replaces the old period.
    btn->SetTimer(10, 50);
    btn->SetTimer(10, 20);
    t.clock.Advance(40);
    EXPECT_EQ(t.log.size(), 5u);
}

TEST(Timers_Control, DestroyedControlLeavesNoTimer) {
    Tree t(kNotifyLayout);
    t.Find("btn")->SetTimer(1, 10);
    t.Find("cb")->SetTimer(2, 10);
    t.As<CContainerUI>("root")->Remove(t.Find("btn"));
    EXPECT_EQ(t.clock.ActiveTimers(), 1u);
    t.clock.Advance(10);
    EXPECT_EQ(t.log, (std::vector<std::wstring>{L"timer:cb:2:0"}));
}

TEST(Notify_ThreadDeathTest, AWorkerTouchingTheWindowStopsTheProcess) {
    if (!ThreadCheck::Enabled()) GTEST_SKIP() << "thread checks are compiled only into debug and sanitizer builds";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            Tree t(kNotifyLayout);
            std::thread worker([&] { t.Find("btn")->SetText(L"from a worker"); });  // must post instead
            worker.join();
        },
        "CPaintManagerUI::Invalidate called from a thread that does not own the window");
    // Posting from a worker is the allowed way.
    Tree t(kNotifyLayout);
    std::thread worker([&] { t.manager.PostNotify(t.Find("btn"), L"progress"); });
    worker.join();
    t.clock.RunPosted();
    EXPECT_EQ(t.log, (std::vector<std::wstring>{L"progress:btn:0:0"}));
}
