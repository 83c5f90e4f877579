#include "bench/windows/LayeredReference_win32.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>

#include "bench/windows/ProcessStats_win32.h"

#include "utils/WindowsApi_win32.h"

namespace BenchWin32 {
namespace {

constexpr UINT_PTR kFrameTimer = 1, kWakeTimer = 2;

struct DcDeleter {
    void operator()(HDC__* dc) const { DeleteDC(dc); }
};
struct BitmapDeleter {
    void operator()(HBITMAP__* bitmap) const { DeleteObject(bitmap); }
};
struct WindowDeleter {
    void operator()(HWND__* hwnd) const { DestroyWindow(hwnd); }
};

struct State {
    HDC dc = nullptr;
    std::uint32_t* pixels = nullptr;
    int width = 0, height = 0;
    RECT strip{};
    bool dirtyOnly = false;
    long frames = 0;
    bool failed = false;
};

bool Present(HWND hwnd, const State& s, bool whole) {
    SIZE size{s.width, s.height};
    POINT source{0, 0};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    UPDATELAYEREDWINDOWINFO info{};
    info.cbSize = sizeof info;
    info.psize = &size;
    info.hdcSrc = s.dc;
    info.pptSrc = &source;
    info.pblend = &blend;
    info.dwFlags = ULW_ALPHA;
    info.prcDirty = whole ? nullptr : &s.strip;
    GdiFlush();
    if (UpdateLayeredWindowIndirect(hwnd, &info)) return true;
    std::fprintf(stderr, "UpdateLayeredWindowIndirect failed (%lu)\n", GetLastError());
    return false;
}

LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* s = reinterpret_cast<State*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == WM_TIMER && wParam == kFrameTimer && s) {
        // A moving fill in the strip: premultiplied opaque colours, changed every frame.
        const std::uint32_t colour = 0xFF000000u | (0x2196F3u + static_cast<std::uint32_t>(s->frames) * 0x010101u) % 0xFFFFFFu;
        const RECT& strip = s->strip;
        const int filled = strip.left + static_cast<int>(s->frames % (strip.right - strip.left));
        for (int y = strip.top; y < strip.bottom; ++y)
            for (int x = strip.left; x < strip.right; ++x) s->pixels[y * s->width + x] = x < filled ? colour : 0xFFE0E0E0u;
        if (!Present(hwnd, *s, !s->dirtyOnly)) s->failed = true;
        ++s->frames;
        return 0;
    }
    if (msg == WM_TIMER && wParam == kWakeTimer) return 0;
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// Dispatches messages until the wall-clock deadline (the wake timer brings the loop back).
void RunUntil(std::chrono::steady_clock::time_point end) {
    MSG msg;
    while (std::chrono::steady_clock::now() < end) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) return;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

}  // namespace

double RunLayeredReference(bool dirtyOnly, unsigned frameMs, double settleSeconds, double seconds, long* frames,
                           const LayeredGeometry& geometry) {
    const int width = geometry.width, height = geometry.height;
    if (width <= 0 || height <= 0 || geometry.left < 0 || geometry.top < 0 || geometry.right > width ||
        geometry.bottom > height || geometry.left >= geometry.right || geometry.top >= geometry.bottom) {
        std::fprintf(stderr, "the changed strip lies outside the window\n");
        return -1;
    }
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"QuorvexBenchLayered";
    if (!RegisterClassExW(&wc)) {
        std::fprintf(stderr, "RegisterClassExW failed (%lu)\n", GetLastError());
        return -1;
    }
    State s;
    s.dirtyOnly = dirtyOnly;
    s.width = width;
    s.height = height;
    s.strip = {geometry.left, geometry.top, geometry.right, geometry.bottom};
    std::unique_ptr<HDC__, DcDeleter> dc(CreateCompatibleDC(nullptr));
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    std::unique_ptr<HBITMAP__, BitmapDeleter> bitmap(
        dc ? CreateDIBSection(dc.get(), &bi, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr);
    if (!dc || !bitmap || !bits) {
        std::fprintf(stderr, "cannot make the layered window's bitmap (%lu)\n", GetLastError());
        return -1;
    }
    HGDIOBJ previous = SelectObject(dc.get(), bitmap.get());
    if (!previous || previous == HGDI_ERROR) {
        std::fprintf(stderr, "SelectObject failed\n");
        return -1;
    }
    s.dc = dc.get();
    s.pixels = static_cast<std::uint32_t*>(bits);
    // A light window inside a half-transparent margin, as the skinned window's shadow leaves it.
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            s.pixels[y * width + x] = (x < 8 || y < 8 || x >= width - 8 || y >= height - 8) ? 0x20000000u : 0xFFF7F9FCu;

    const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2, y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    std::unique_ptr<HWND__, WindowDeleter> window(CreateWindowExW(WS_EX_LAYERED, wc.lpszClassName, L"Quorvex", WS_POPUP,
                                                                  x, y, width, height, nullptr, nullptr, wc.hInstance, nullptr));
    HWND hwnd = window.get();
    if (!hwnd) {
        std::fprintf(stderr, "CreateWindowExW failed (%lu)\n", GetLastError());
        SelectObject(dc.get(), previous);
        return -1;
    }
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&s));
    double percent = -1;
    if (Present(hwnd, s, true)) {
        ShowWindow(hwnd, SW_SHOWNA);
        if (!SetTimer(hwnd, kFrameTimer, frameMs, nullptr) || !SetTimer(hwnd, kWakeTimer, 100, nullptr)) {
            std::fprintf(stderr, "SetTimer failed (%lu)\n", GetLastError());
        } else {
            RunUntil(std::chrono::steady_clock::now() + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                                            std::chrono::duration<double>(settleSeconds)));
            const long frames0 = s.frames;
            const double cpu0 = CpuSeconds();
            const auto t0 = std::chrono::steady_clock::now();
            RunUntil(t0 + std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(seconds)));
            const double cpu1 = CpuSeconds();
            const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
            if (frames) *frames = s.frames - frames0;
            if (cpu0 >= 0 && cpu1 >= 0 && !s.failed) percent = 100.0 * (cpu1 - cpu0) / wall;
            KillTimer(hwnd, kFrameTimer);
            KillTimer(hwnd, kWakeTimer);
        }
    }
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    window.reset();
    SelectObject(dc.get(), previous);  // the bitmap leaves the DC before either is deleted
    return percent;
}

}  // namespace BenchWin32
