// The package runner's worker reads its failure text while the window thread loads languages:
// every read sees a whole text of one language or the other, never a torn one.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "../../support/ScopedEnv.h"
#include "install/InstallTexts.h"
#include "ui/skin/SkinPackage.h"

namespace {

TEST(TextTableThreadTest, WorkerReadsWhileTheLanguageChanges) {
    testsupport::ScopedEnv::Set("QV_SKIN_DIR", nullptr);
    Skin::OpenSkinPackage();
    std::atomic<bool> done{false};
    std::atomic<int> bad{0}, reads{0};
    std::thread worker([&] {
        while (!done.load()) {
            const std::wstring text = InstallTexts::Text(L"IDFailInstPack");
            if (text != L"Install failed" && text != L"安裝包安裝失敗") ++bad;
            ++reads;
        }
    });
    for (int i = 0; i < 200; ++i) Skin::SwitchSkinLanguage(i % 2 ? L"en-US" : L"zh-TW");
    done = true;
    worker.join();
    EXPECT_EQ(bad.load(), 0);
    EXPECT_GT(reads.load(), 0);
}

}  // namespace
