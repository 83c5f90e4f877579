#pragma once
// A window-less window built from a layout of the built-in skin package, with the installer's
// own controls, a hand-driven clock, and the text fitting of the main window.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "toolkit/LayoutBuilder.h"
#include "toolkit/PaintManager.h"
#include "toolkit/Scheduler.h"
#include "toolkit/TabLayout.h"
#include "ui/controls/SequenceControlFactory.h"
#include "ui/skin/TextFitting.h"
#include "utils/StringUtils.h"

struct SequenceFactory : Toolkit::IControlFactory {
    std::unique_ptr<Toolkit::CControlUI> CreateControl(const std::wstring& name) override {
        return Controls::CreateSequenceControl(name);
    }
};

struct BuiltWindow {
    explicit BuiltWindow(const std::wstring& layout) {
        manager.SetScheduler(&clock);
        result = Toolkit::CLayoutBuilder::BuildFromResource(layout, &manager, &factory);
        if (!result.ok) return;
        manager.AttachRoot(std::move(result.root));
        manager.SetClientSize(manager.GetInitSize());
        Skin::FitTextWidths(manager);
        manager.UpdateLayout();
    }
    bool Ok() const { return manager.GetRoot() != nullptr; }
    // Shows a page of a tab layout (no notification) and lays the window out again.
    void Select(const wchar_t* tab, int page) {
        auto* t = dynamic_cast<Toolkit::CTabLayoutUI*>(manager.FindControl(tab));
        ASSERT_NE(t, nullptr);
        ASSERT_TRUE(t->SelectItem(page, false));
        manager.UpdateLayout();
    }
    Toolkit::ManualScheduler clock;
    SequenceFactory factory;
    Toolkit::CPaintManagerUI manager;
    Toolkit::BuildResult result;
};

// Every layout of the package, by the names the code opens them with.
inline const std::vector<std::wstring>& AllLayouts() {
    static const std::vector<std::wstring> layouts = {L"MainWnd.xml",      L"MessageBox1Wnd.xml",
                                                      L"MessageBox2Wnd.xml", L"ExitTipWnd.xml",
                                                      L"InstalledPathTipWnd.xml", L"NetworkTipWnd.xml"};
    return layouts;
}
