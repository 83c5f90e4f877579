// CPU use of a skinned toolkit window on Windows while its progress animates, as a share of one
// core over 10 s (after 1 s to settle), from the process's own user and kernel time.
//   bench_win32_animation animation|idle|layered-whole|layered-dirty
// "animation" shows the test skin's progress page and steps its Progress control on a timer
// every 30 ms, the period of the installer's progress animation; "idle" shows the same page
// with no timer, the floor under it. "layered-whole" and "layered-dirty" run no toolkit code: a
// plain layered window presenting itself whole or only its changed strip every frame (see
// LayeredReference_win32.h). The toolkit modes read the test skin archive named by QV_BENCH_SKIN_ZIP.
// Prints "cpu_percent=N over_s=N ticks=N".
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench/windows/LayeredReference_win32.h"
#include "bench/windows/ProcessStats_win32.h"
#include "toolkit/Platform.h"
#include "toolkit/Progress.h"
#include "toolkit/Scheduler.h"
#include "toolkit/SkinResources.h"
#include "toolkit/TabLayout.h"
#include "toolkit/Win32Host.h"
#include "toolkit/WindowBase.h"

#include "utils/WindowsApi_win32.h"

namespace {

constexpr unsigned kFrameMs = 30;

class BenchWindow : public Toolkit::CWindowBase {
public:
    std::wstring GetWindowClassName() const override { return L"BenchWnd"; }
    std::wstring GetSkinFile() override { return L"demo.xml"; }
};

// Runs the window's message loop for `seconds` of wall time.
void RunFor(double seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    // A timer message at least every period keeps the loop waking up to see the deadline.
    Toolkit::IScheduler& scheduler = Toolkit::GetPlatform()->Scheduler();
    const std::uintptr_t wake = scheduler.StartTimer(100, [] {});
    Toolkit::GetPlatform()->RunLoop([&] { return std::chrono::steady_clock::now() < end; });
    scheduler.StopTimer(wake);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "layered-whole" || mode == "layered-dirty") {
        long frames = 0;
        const double percent = BenchWin32::RunLayeredReference(mode == "layered-dirty", kFrameMs, 1.0, 10.0, &frames);
        if (percent < 0) return 1;
        std::printf("cpu_percent=%.2f over_s=10.0 ticks=%ld\n", percent, frames);
        return 0;
    }
    if (mode != "animation" && mode != "idle") {
        std::fprintf(stderr, "usage: bench_win32_animation animation|idle|layered-whole|layered-dirty\n");
        return 2;
    }
    const char* skin = std::getenv("QV_BENCH_SKIN_ZIP");
    if (!skin) {
        std::fprintf(stderr, "set QV_BENCH_SKIN_ZIP to the test skin archive (run.sh does)\n");
        return 2;
    }
    std::ifstream in(skin, std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.empty()) {
        std::fprintf(stderr, "cannot read %s\n", skin);
        return 2;
    }
    if (!Toolkit::InitWin32Host()) return 2;
    Toolkit::SkinResources::Instance().OpenZipCopy(std::move(bytes));
    BenchWindow window;
    if (!window.Create(nullptr, L"Quorvex", WS_OVERLAPPEDWINDOW)) return 1;
    auto* pages = dynamic_cast<Toolkit::CTabLayoutUI*>(window.FindControl(L"pages"));
    auto* progress = dynamic_cast<Toolkit::CProgressUI*>(window.FindControl(L"progress"));
    if (!pages || !progress || !pages->SelectItem(2)) {
        std::fprintf(stderr, "the test skin has no progress page\n");
        return 1;
    }
    window.CenterWindow();
    window.ShowWindow(true, true);

    long ticks = 0;
    std::uintptr_t timer = 0;
    Toolkit::IScheduler& scheduler = Toolkit::GetPlatform()->Scheduler();
    if (mode == "animation") {
        timer = scheduler.StartTimer(kFrameMs, [&] {
            ++ticks;
            progress->SetValue((progress->GetValue() + 1) % (progress->GetMaxValue() + 1));
        });
    }
    RunFor(1.0);
    const long ticks0 = ticks;
    const double cpu0 = BenchWin32::CpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    RunFor(10.0);
    const double cpu1 = BenchWin32::CpuSeconds();
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (timer) scheduler.StopTimer(timer);
    if (cpu0 < 0 || cpu1 < 0) return 1;
    std::printf("cpu_percent=%.2f over_s=%.1f ticks=%ld\n", 100.0 * (cpu1 - cpu0) / wall, wall, ticks - ticks0);
    std::fflush(stdout);
    return 0;
}
