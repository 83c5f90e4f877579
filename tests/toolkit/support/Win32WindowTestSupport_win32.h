#pragma once
// What the tests of real Win32 skinned windows share: the host set up once for the program with
// one layout file of the test's own, and a message pump with a time limit. Include after the
// toolkit headers and "utils/WindowsApi_win32.h".
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "toolkit/SkinResources.h"
#include "toolkit/Win32Host.h"

namespace win32test {

// Installs the Win32 host and a skin folder holding `layout` as `fileName`; the folder goes at
// the program's end. Fails the program early when wine has no X display to draw on.
class WindowEnvironment : public ::testing::Environment {
public:
    WindowEnvironment(std::string fileName, std::string layout)
        : fileName_(std::move(fileName)), layout_(std::move(layout)) {}
    void SetUp() override {
        ASSERT_TRUE(Toolkit::InitWin32Host());
        HWND probe = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(probe, nullptr) << "no top-level windows: run under wine with DISPLAY set (Xvfb 1280x800x24)";
        DestroyWindow(probe);
        dir_ = std::filesystem::temp_directory_path() /
               ("qv_window_test_" + std::to_string(GetCurrentProcessId()));
        std::filesystem::create_directories(dir_);
        std::ofstream(dir_ / fileName_, std::ios::binary) << layout_;
        std::string error;
        ASSERT_TRUE(Toolkit::SkinResources::Instance().OpenFolder(dir_.string(), &error)) << error;
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

private:
    std::string fileName_, layout_;
    std::filesystem::path dir_;
};

// Dispatches this thread's messages until `done` or the time runs out.
inline bool PumpUntil(const std::function<bool()>& done, int ms = 5000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(5);
    }
    return true;
}

inline void Pump(int ms) { PumpUntil([] { return false; }, ms); }

}  // namespace win32test
