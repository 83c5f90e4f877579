#pragma once
// Builds a control tree from layout text into a window-less paint manager, records every
// notification as "type:sender:wParam:lParam", and runs time by hand.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "toolkit/LayoutBuilder.h"
#include "toolkit/PaintManager.h"
#include "toolkit/Scheduler.h"
#include "utils/StringUtils.h"

struct Tree : Toolkit::INotifyUI {
    explicit Tree(const std::string& xml, Toolkit::IControlFactory* factory = nullptr) {
        manager.SetScheduler(&clock);
        result = Toolkit::CLayoutBuilder::BuildFromText(xml, &manager, factory);
        EXPECT_TRUE(result.ok) << result.error.Format("layout");
        manager.AttachRoot(std::move(result.root));
        manager.AddNotifier(this);
        manager.SetClientSize(manager.GetInitSize());
        manager.UpdateLayout();
    }
    void Notify(Toolkit::TNotifyUI& msg) override {
        if (!recordFocus && (msg.type == L"setfocus" || msg.type == L"killfocus")) return;
        log.push_back(msg.type + L":" + (msg.sender ? msg.sender->GetName() : L"") + L":" +
                      std::to_wstring(msg.wParam) + L":" + std::to_wstring(msg.lParam));
    }
    Toolkit::CControlUI* Find(const char* name) {
        Toolkit::CControlUI* c = manager.FindControl(Utils::FromUtf8(name));
        EXPECT_NE(c, nullptr) << name;
        return c;
    }
    template <typename T>
    T* As(const char* name) {
        T* c = dynamic_cast<T*>(Find(name));
        EXPECT_NE(c, nullptr) << name;
        return c;
    }
    Toolkit::Rect Pos(const char* name) {
        manager.UpdateLayout();
        Toolkit::CControlUI* c = Find(name);
        return c ? c->GetPos() : Toolkit::Rect{};
    }
    Toolkit::Point Centre(const char* name) {
        const Toolkit::Rect r = Pos(name);
        return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }
    void Click(const char* name) {
        const Toolkit::Point p = Centre(name);
        manager.OnMouseMove(p);
        manager.OnButtonDown(p);
        manager.OnButtonUp(p);
    }

    Toolkit::ManualScheduler clock;
    Toolkit::CPaintManagerUI manager;
    Toolkit::BuildResult result;
    std::vector<std::wstring> log;
    bool recordFocus = false;  // "setfocus"/"killfocus" are left out unless asked for
};
