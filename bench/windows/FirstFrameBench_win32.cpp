// Time to the first painted frame and memory of a skinned toolkit window on Windows, against a
// bare Win32 window that paints one rectangle with GDI.
//   bench_win32_first_frame bare|toolkit    one start, timed from the process's creation
//   bench_win32_first_frame skin FILE       writes the test skin archive the toolkit run reads
// Prints "first_frame_ms=N ws_kib=N private_kib=N committed_private_kib=N", the phases of the
// start ("name=ms", ms since the process's creation) and the working set after each
// ("ws_name=KiB"). The toolkit window is the test skin's demo window through the Win32 host: its
// first page has labels with Chinese text, buttons and a combo; QV_BENCH_PAGE=1 opens it on the
// page with the edit field, check boxes and a Chinese button, 2 on the progress bar. A frame is
// on screen once the call that hands it to the system (UpdateLayeredWindow for the layered
// window, EndPaint for the bare one) has returned and the message queue has been drained of
// everything queued until then. Set QV_BENCH_FONTS_FIRST to lay one text out before the window
// is made, which splits the text system's start out of the window's own time, and
// QV_BENCH_SPLIT_PAINT to paint the window twice offscreen before showing it, which splits the
// first paint's own work (fonts, text, images: "paint_cold"; again warm: "paint_warm") from
// showing and presenting the frame. QV_BENCH_HEAPS and QV_BENCH_SMAPS split the memory as in
// bench_win32_installer.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "../../tests/toolkit/support/TestSkin.h"
#include "bench/windows/ProcessStats_win32.h"
#include "toolkit/OffscreenRenderer.h"
#include "toolkit/SkinResources.h"
#include "toolkit/TabLayout.h"
#include "toolkit/TextRenderer.h"
#include "toolkit/Win32Host.h"
#include "toolkit/Win32WindowHost_win32.h"
#include "toolkit/WindowBase.h"

#include "utils/WindowsApi_win32.h"

namespace {

constexpr UINT kDrained = WM_APP + 40;
constexpr int kWidth = 600, kHeight = 400;

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

int Report() {
    const double ms = BenchWin32::MsSinceProcessStart();
    const BenchWin32::Memory m = BenchWin32::ReadMemory();
    if (ms < 0 || m.workingSetKib < 0) return 1;
    std::printf("first_frame_ms=%.1f ws_kib=%lld private_kib=%lld committed_private_kib=%lld%s%s\n", ms,
                static_cast<long long>(m.workingSetKib), static_cast<long long>(m.privateKib),
                static_cast<long long>(m.committedPrivateKib), g_phases.c_str(), g_memory.c_str());
    std::fflush(stdout);
    return 0;
}

// ---- the bare window ----

bool g_painted = false;

struct GdiObjectDeleter {
    void operator()(HBRUSH__* brush) const { DeleteObject(brush); }
};
struct WindowDeleter {
    void operator()(HWND__* hwnd) const { DestroyWindow(hwnd); }
};

LRESULT CALLBACK BareProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            if (!dc) {
                std::fprintf(stderr, "BeginPaint failed\n");
                return 0;
            }
            RECT all{0, 0, kWidth, kHeight};
            std::unique_ptr<HBRUSH__, GdiObjectDeleter> brush(CreateSolidBrush(RGB(0x21, 0x96, 0xF3)));
            if (!brush || !FillRect(dc, &all, brush.get()))
                std::fprintf(stderr, "FillRect failed (%lu)\n", GetLastError());
            EndPaint(hwnd, &ps);
            GdiFlush();
            g_painted = true;
            return 0;
        }
        default:
            return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

int Bare() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = BareProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = L"QuorvexBenchBare";
    if (!RegisterClassExW(&wc)) {
        std::fprintf(stderr, "RegisterClassExW failed (%lu)\n", GetLastError());
        return 2;
    }
    Phase("class");
    RECT frame{0, 0, kWidth, kHeight};
    if (!AdjustWindowRectEx(&frame, WS_OVERLAPPEDWINDOW, FALSE, 0)) frame = {0, 0, kWidth, kHeight};
    const int w = frame.right - frame.left, h = frame.bottom - frame.top;
    const int x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2, y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
    std::unique_ptr<HWND__, WindowDeleter> window(CreateWindowExW(
        0, wc.lpszClassName, L"Quorvex", WS_OVERLAPPEDWINDOW, x, y, w, h, nullptr, nullptr, wc.hInstance, nullptr));
    HWND hwnd = window.get();
    if (!hwnd) {
        std::fprintf(stderr, "CreateWindowExW failed (%lu)\n", GetLastError());
        return 2;
    }
    Phase("created");
    ShowWindow(hwnd, SW_SHOW);
    if (!UpdateWindow(hwnd)) std::fprintf(stderr, "UpdateWindow failed\n");
    Phase("shown");
    if (!DrainQueue() || !g_painted) {
        std::fprintf(stderr, "the bare window was not painted\n");
        return 1;
    }
    Phase("drawn");
    return Report();
}

// ---- the toolkit window ----

class BenchWindow : public Toolkit::CWindowBase {
public:
    std::wstring GetWindowClassName() const override { return L"BenchWnd"; }
    std::wstring GetSkinFile() override { return L"demo.xml"; }
};

int ToolkitWindow() {
    // The skin is prepared beforehand (the installer links it in): only reading it is timed.
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
    Phase("read");
    if (!Toolkit::InitWin32Host()) return 2;
    Phase("host");
    Toolkit::SkinResources::Instance().OpenZipCopy(std::move(bytes));
    Phase("zip");
    if (std::getenv("QV_BENCH_FONTS_FIRST")) {
        Toolkit::Text::Measure(L"Quorvex 安装程序", Toolkit::FontInfo{L"微软雅黑", 14}, Toolkit::TextStyle{});
        Phase("fonts");
    }
    BenchWindow window;
    // Not visible yet, so that making the window and painting its first frame are timed apart.
    if (!window.Create(nullptr, L"Quorvex", WS_OVERLAPPEDWINDOW)) return 1;
    Phase("created");
    if (const char* page = std::getenv("QV_BENCH_PAGE")) {
        auto* pages = dynamic_cast<Toolkit::CTabLayoutUI*>(window.FindControl(L"pages"));
        if (!pages || !pages->SelectItem(std::atoi(page))) {
            std::fprintf(stderr, "the test skin has no page %s\n", page);
            return 2;
        }
        Phase("page");
    }
    if (std::getenv("QV_BENCH_SPLIT_PAINT")) {
        const Toolkit::OffscreenOptions options{1.0, true, true};
        if (!Toolkit::RenderWindow(window.PaintManager(), options)) return 1;
        Phase("paint_cold");
        if (!Toolkit::RenderWindow(window.PaintManager(), options)) return 1;
        Phase("paint_warm");
    }
    window.CenterWindow();
    window.ShowWindow(true, true);
    Phase("shown");
    const auto* host = static_cast<const Toolkit::Win32WindowHost*>(window.Native());
    if (!DrainQueue() || !host || !host->Pixels(nullptr, nullptr) || !IsWindowVisible(host->Handle())) {
        std::fprintf(stderr, "the toolkit window was not painted\n");
        return 1;
    }
    Phase("drawn");
    return Report();
}

int WriteSkin(const char* file) {
    const std::string folder = TestSkin::PrivateFolder("bench-skin");
    if (!TestSkin::WriteFolder(folder)) {
        std::fprintf(stderr, "cannot write the test skin into %s\n", folder.c_str());
        return 2;
    }
    const std::vector<std::uint8_t> zip = TestSkin::MakeZip(folder);
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(zip.data()), static_cast<std::streamsize>(zip.size()));
    out.close();
    if (zip.empty() || !out) {
        std::fprintf(stderr, "cannot write %s\n", file);
        return 2;
    }
    std::printf("skin_bytes=%zu\n", zip.size());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Phase("main");  // what the system and the runtime did before any of ours
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "bare") return Bare();
    if (mode == "toolkit") return ToolkitWindow();
    if (mode == "skin" && argc > 2) return WriteSkin(argv[2]);
    std::fprintf(stderr, "usage: bench_win32_first_frame bare|toolkit|skin FILE\n");
    return 2;
}
