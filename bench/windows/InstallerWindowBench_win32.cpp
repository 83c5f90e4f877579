// The installer's real main window on Windows (the built-in skin linked into the program, the ui
// code that builds its pages), measured as the Linux window benchmark measures the GTK one.
//   bench_win32_installer installer       first painted frame and memory of one start
//   bench_win32_installer animation       CPU over 10 s on the progress page, its frame
//                                         animation running (frames every 30 ms)
//   bench_win32_installer progress-idle   the same page with the animation stopped
//   bench_win32_installer layered-frame   no toolkit drawing: a plain layered window of the
//                                         installer window's size presenting only the
//                                         animation's rectangle every 30 ms, the floor the
//                                         system sets under "animation"
// Set QV_BENCH_FONTS_FIRST to lay one text out before the window is made (splits the text
// system's own start from the window's), QV_BENCH_HEAPS to print the bytes in use per heap after
// each step (standard error), QV_BENCH_SMAPS=PREFIX to copy wine's Linux memory map after each
// step to PREFIX-STEP.smaps (split it with smaps_split.py).
// "installer" prints "first_frame_ms=N ws_kib=N private_kib=N committed_private_kib=N" with the
// phases of the start as in bench_win32_first_frame; the others "cpu_percent=N over_s=N
// ticks=N cpu_ms_per_frame=N" (ticks: frames shown in the span).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "bench/windows/LayeredReference_win32.h"
#include "bench/windows/ProcessStats_win32.h"
#include "toolkit/ImageCache.h"
#include "toolkit/Platform.h"
#include "toolkit/Scheduler.h"
#include "toolkit/TabLayout.h"
#include "toolkit/TextRenderer.h"
#include "toolkit/Win32WindowHost_win32.h"
#include "ui/controls/CSequenceLabelUI.h"
#include "ui/windows/CMainWnd.h"
#include "ui/windows/MainWindowStartup.h"

#include "utils/WindowsApi_win32.h"

namespace {

constexpr UINT kDrained = WM_APP + 40;
constexpr int kProgressPage = 2;
constexpr unsigned kFrameMs = 30;

std::string g_phases;  // " name=ms" for each step of the start
std::string g_memory;  // " ws_name=KiB": the working set after each step

void Phase(const char* name) {
    char buf[96];
    std::snprintf(buf, sizeof buf, " %s=%.1f", name, BenchWin32::MsSinceProcessStart());
    g_phases += buf;
    std::snprintf(buf, sizeof buf, " ws_%s=%lld", name, static_cast<long long>(BenchWin32::ReadWorkingSetKib()));
    g_memory += buf;
    // QV_BENCH_SMAPS=PREFIX: the Linux memory map after each step, to PREFIX-NAME.smaps.
    if (const char* prefix = std::getenv("QV_BENCH_SMAPS")) {
        const std::string file = std::string(prefix) + "-" + name + ".smaps";
        BenchWin32::CopyLinuxMemoryMap(file.c_str(), std::string("QV_BENCH_SMAPS=") + prefix);
    }
    // QV_BENCH_HEAPS: the bytes in use per heap after each step, on standard error.
    if (std::getenv("QV_BENCH_HEAPS")) std::fprintf(stderr, "heaps_%s: %s\n", name, BenchWin32::HeapsInUse().c_str());
}

// Dispatches this thread's messages until everything queued before the call has been handled.
bool DrainQueue() {
    if (!PostThreadMessageW(GetCurrentThreadId(), kDrained, 0, 0)) {
        std::fprintf(stderr, "PostThreadMessageW failed (%lu)\n", GetLastError());
        return false;
    }
    MSG msg;
    for (;;) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == -1) {
            std::fprintf(stderr, "GetMessageW failed (%lu)\n", GetLastError());
            return false;
        }
        if (got == 0) return false;  // a quit request: no frame to report
        if (msg.hwnd == nullptr && msg.message == kDrained) return true;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// Runs the window's message loop for `seconds` of wall time.
void RunFor(double seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    // A timer message at least every period keeps the loop waking up to see the deadline.
    Toolkit::IScheduler& scheduler = Toolkit::GetPlatform()->Scheduler();
    const std::uintptr_t wake = scheduler.StartTimer(100, [] {});
    Toolkit::GetPlatform()->RunLoop([&] { return std::chrono::steady_clock::now() < end; });
    scheduler.StopTimer(wake);
}

// The main window, made hidden so that making it and showing its first frame are timed apart.
std::unique_ptr<CMainWnd> MakeWindow() {
    if (!MainWindowStartup::OpenDisplay(nullptr, nullptr)) return nullptr;
    Phase("host");
    MainWindowStartup::PrepareSkin();
    Phase("zip");
    if (std::getenv("QV_BENCH_FONTS_FIRST")) {
        // The text system's own start (factory, font collection, the CJK face), split out.
        Toolkit::Text::Measure(L"Quorvex 安装程序", Toolkit::FontInfo{L"微软雅黑", 14}, Toolkit::TextStyle{});
        Phase("fonts");
    }
    auto window = std::make_unique<CMainWnd>();
    if (!window->Create(nullptr, L"Quorvex", WS_OVERLAPPEDWINDOW, 0)) {
        std::fprintf(stderr, "the main window could not be made\n");
        return nullptr;
    }
    Phase("created");
    window->CenterWindow();
    return window;
}

int FirstFrame() {
    auto window = MakeWindow();
    if (!window) return 2;
    window->ShowWindow(true, true);
    Phase("shown");
    const auto* host = static_cast<const Toolkit::Win32WindowHost*>(window->Native());
    if (!DrainQueue() || !host || !host->Pixels(nullptr, nullptr) || !IsWindowVisible(host->Handle())) {
        std::fprintf(stderr, "the main window was not painted\n");
        return 1;
    }
    Phase("drawn");
    const double ms = BenchWin32::MsSinceProcessStart();
    const BenchWin32::Memory m = BenchWin32::ReadMemory();
    if (ms < 0 || m.workingSetKib < 0) return 1;
    // decodes: images decoded for the first frame (none the first page does not show).
    std::printf("first_frame_ms=%.1f ws_kib=%lld private_kib=%lld committed_private_kib=%lld decodes=%zu%s%s\n", ms,
                static_cast<long long>(m.workingSetKib), static_cast<long long>(m.privateKib),
                static_cast<long long>(m.committedPrivateKib), Toolkit::ImageCache::Instance().DecodeCount(),
                g_phases.c_str(), g_memory.c_str());
    std::fflush(stdout);
    return 0;
}

// Counts the frames the sequence label shows from its next-frame index, read every 100 ms (the
// pace of the loop's own wake-up timer, so that counting adds no wake-ups of its own): a looping
// forward sequence moves it by the frames shown, modulo the frame count.
class FrameCounter {
public:
    explicit FrameCounter(const Controls::CSequenceLabelUI& label) : label_(label), last_(label.State().index) {
        timer_ = Toolkit::GetPlatform()->Scheduler().StartTimer(100, [this] { Sample(); });
    }
    ~FrameCounter() { Toolkit::GetPlatform()->Scheduler().StopTimer(timer_); }
    long Frames() {
        Sample();
        return frames_;
    }

private:
    void Sample() {
        const std::uint32_t count = label_.State().count, now = label_.State().index;
        if (count > 0) frames_ += static_cast<long>((now + count - last_ % count) % count);
        last_ = now;
    }
    const Controls::CSequenceLabelUI& label_;
    std::uint32_t last_;
    long frames_ = 0;
    std::uintptr_t timer_ = 0;
};

int Progress(bool animate) {
    auto window = MakeWindow();
    if (!window) return 2;
    auto* pages = dynamic_cast<Toolkit::CTabLayoutUI*>(window->FindControl(L"mainTabLt"));
    auto* label = dynamic_cast<Controls::CSequenceLabelUI*>(window->FindControl(L"progressAnLb"));
    if (!pages || !label || !pages->SelectItem(kProgressPage)) {
        std::fprintf(stderr, "the skin has no progress page\n");
        return 1;
    }
    window->ShowWindow(true, true);
    RunFor(0.2);  // the page's own start: the tab change reaches the window as a notification
    if (!animate) label->Stop();
    if (animate && !label->IsRunning()) {
        std::fprintf(stderr, "the progress animation did not start\n");
        return 1;
    }
    RunFor(1.0);  // every frame decoded once, the timers settled
    long frames = 0;
    double cpu0 = -1, cpu1 = -1, wall = 0;
    {
        FrameCounter counter(*label);
        cpu0 = BenchWin32::CpuSeconds();
        const auto t0 = std::chrono::steady_clock::now();
        RunFor(10.0);
        cpu1 = BenchWin32::CpuSeconds();
        wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        frames = counter.Frames();
    }
    if (cpu0 < 0 || cpu1 < 0) return 1;
    // CPU per frame shown holds still when a loaded machine drops timer ticks; the share of a core
    // does not.
    std::printf("cpu_percent=%.2f over_s=%.1f ticks=%ld cpu_ms_per_frame=%.2f\n", 100.0 * (cpu1 - cpu0) / wall, wall,
                frames, frames > 0 ? 1000.0 * (cpu1 - cpu0) / frames : 0.0);
    std::fflush(stdout);
    return 0;
}

// The animation's rectangle in the installer window's pixels, from the real layout.
bool AnimationGeometry(BenchWin32::LayeredGeometry& g) {
    auto window = MakeWindow();
    if (!window) return false;
    auto* pages = dynamic_cast<Toolkit::CTabLayoutUI*>(window->FindControl(L"mainTabLt"));
    auto* label = window->FindControl(L"progressAnLb");
    if (!pages || !label || !pages->SelectItem(kProgressPage)) return false;
    window->ShowWindow(true, false);
    RunFor(0.2);
    const auto* host = static_cast<const Toolkit::Win32WindowHost*>(window->Native());
    const Toolkit::Rect frame = host->GetRect();
    RECT wr;
    if (!GetWindowRect(host->Handle(), &wr)) return false;
    const int marginX = frame.left - wr.left, marginY = frame.top - wr.top;
    const Toolkit::Rect r = label->GetPos();
    g = {wr.right - wr.left, wr.bottom - wr.top, r.left + marginX, r.top + marginY, r.right + marginX, r.bottom + marginY};
    return true;
}

// `whole`: the whole window presented each frame; `pixel`: one pixel changed and presented, the
// cost of a present itself whatever it carries.
int LayeredFrame(bool whole, bool pixel) {
    BenchWin32::LayeredGeometry geometry;
    if (!AnimationGeometry(geometry)) {
        std::fprintf(stderr, "the installer window's animation could not be placed\n");
        return 1;
    }
    if (pixel) {
        geometry.right = geometry.left + 1;
        geometry.bottom = geometry.top + 1;
    }
    long frames = 0;
    const double percent = BenchWin32::RunLayeredReference(!whole, kFrameMs, 1.0, 10.0, &frames, geometry);
    if (percent < 0) return 1;
    std::printf("cpu_percent=%.2f over_s=10.0 ticks=%ld cpu_ms_per_frame=%.2f strip=%dx%d\n", percent, frames,
                frames > 0 ? percent * 10.0 * 10.0 / frames : 0.0, geometry.right - geometry.left,
                geometry.bottom - geometry.top);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Phase("main");  // what the system and the runtime did before any of ours
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "installer") return FirstFrame();
    if (mode == "animation") return Progress(true);
    if (mode == "progress-idle") return Progress(false);
    if (mode == "layered-frame") return LayeredFrame(false, false);
    if (mode == "layered-whole") return LayeredFrame(true, false);
    if (mode == "layered-pixel") return LayeredFrame(false, true);
    std::fprintf(stderr,
                 "usage: bench_win32_installer installer|animation|progress-idle|layered-frame|layered-whole|"
                 "layered-pixel\n");
    return 2;
}
