#pragma once
// The language list's test fixture, shared by the portable tests and the system-specific ones
// (where the user's UI language comes from).
#include <gtest/gtest.h>

#include <string>

#include "../../support/ScopedEnv.h"
#include "toolkit/Combo.h"
#include "toolkit/LayoutBuilder.h"
#include "toolkit/PaintManager.h"
#include "ui/skin/LanguageList.h"
#include "ui/skin/SkinPackage.h"

namespace languagetest {

using namespace Toolkit;

// A window-less combo box whose selections are applied the way the main window applies them.
struct LanguageBox : INotifyUI {
    LanguageBox() {
        BuildResult built = CLayoutBuilder::BuildFromText(
            "<Window size='300,40'><Combo name='langCombo' font='1'/></Window>", &manager, nullptr);
        EXPECT_TRUE(built.ok);
        manager.AttachRoot(std::move(built.root));
        manager.AddNotifier(this);
        combo = dynamic_cast<CComboUI*>(manager.FindControl(L"langCombo"));
    }
    void Notify(TNotifyUI& msg) override {
        if (msg.type != L"itemselect") return;
        ++selections;
        Skin::ApplyLanguageChoice(combo->GetItemAt(static_cast<int>(msg.wParam)), languageCode);
    }
    CPaintManagerUI manager;
    CComboUI* combo = nullptr;
    std::wstring languageCode = L"en-US";
    int selections = 0;
};

class LanguageListTest : public ::testing::Test {
protected:
    void SetUp() override {
        testsupport::ScopedEnv::Set("QV_SKIN_DIR", nullptr);
        Skin::OpenSkinPackage();
    }
};

}  // namespace languagetest
