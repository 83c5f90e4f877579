#include "toolkit/Win32LayeredBitmap_win32.h"

#include <cairo.h>

#include <algorithm>
#include <cstdio>

#include "utils/WindowsApi_win32.h"

namespace Toolkit {

std::unique_ptr<Win32LayeredBitmap> Win32LayeredBitmap::Make(int width, int height, double scale) {
    std::unique_ptr<Win32LayeredBitmap> b(new Win32LayeredBitmap);
    b->width_ = width;
    b->height_ = height;
    b->scale_ = scale;
    b->dc_ = CreateCompatibleDC(nullptr);
    if (!b->dc_) {
        std::fprintf(stderr, "layered bitmap: CreateCompatibleDC failed (%lu)\n", GetLastError());
        return nullptr;
    }
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;  // top-down rows, as cairo lays them out
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    b->bitmap_ = CreateDIBSection(b->dc_, &bi, DIB_RGB_COLORS, &b->bits_, nullptr, 0);
    if (!b->bitmap_ || !b->bits_) {
        std::fprintf(stderr, "layered bitmap: CreateDIBSection %dx%d failed (%lu)\n", width, height, GetLastError());
        return nullptr;
    }
    HGDIOBJ previous = SelectObject(b->dc_, b->bitmap_);
    if (!previous || previous == HGDI_ERROR) {
        std::fprintf(stderr, "layered bitmap: SelectObject failed\n");
        return nullptr;
    }
    b->previous_ = previous;
    // A DIB section's rows are DWORD-aligned, so 32-bit rows are exactly cairo's ARGB32 stride.
    b->surface_.reset(cairo_image_surface_create_for_data(static_cast<unsigned char*>(b->bits_), CAIRO_FORMAT_ARGB32,
                                                          width, height, width * 4));
    if (cairo_surface_status(b->surface_.get()) != CAIRO_STATUS_SUCCESS) {
        std::fprintf(stderr, "layered bitmap: %s\n", cairo_status_to_string(cairo_surface_status(b->surface_.get())));
        return nullptr;
    }
    cairo_surface_set_device_scale(b->surface_.get(), scale, scale);
    return b;
}

Win32LayeredBitmap::~Win32LayeredBitmap() {
    surface_.reset();  // before the memory it draws into
    if (dc_ && previous_) SelectObject(dc_, static_cast<HGDIOBJ>(previous_));
    if (bitmap_) DeleteObject(bitmap_);
    if (dc_) DeleteDC(dc_);
}

bool Win32LayeredBitmap::Present(HWND window, bool move, int x, int y) {
    cairo_surface_flush(surface_.get());
    GdiFlush();
    SIZE size{width_, height_};
    POINT source{0, 0};
    POINT place{x, y};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    if (UpdateLayeredWindow(window, nullptr, move ? &place : nullptr, &size, dc_, &source, 0, &blend, ULW_ALPHA)) {
        presented_ = true;
        return true;
    }
    std::fprintf(stderr, "layered bitmap: UpdateLayeredWindow failed (%lu)\n", GetLastError());
    return false;
}

bool Win32LayeredBitmap::PresentChanged(HWND window, int left, int top, int right, int bottom) {
    RECT changed{std::max(left, 0), std::max(top, 0), std::min(right, width_), std::min(bottom, height_)};
    if (!presented_ || changed.left >= changed.right || changed.top >= changed.bottom) return Present(window);
    cairo_surface_flush(surface_.get());
    GdiFlush();
    SIZE size{width_, height_};
    POINT source{0, 0};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    UPDATELAYEREDWINDOWINFO info{};
    info.cbSize = sizeof info;
    info.psize = &size;
    info.hdcSrc = dc_;
    info.pptSrc = &source;
    info.pblend = &blend;
    info.dwFlags = ULW_ALPHA;
    info.prcDirty = &changed;
    if (UpdateLayeredWindowIndirect(window, &info)) return true;
    // Some systems refuse a part where the whole is accepted: the whole goes then.
    return Present(window);
}

bool Win32LayeredBitmap::Blit(HDC target, int left, int top, int right, int bottom) const {
    left = std::max(left, 0), top = std::max(top, 0);
    right = std::min(right, width_), bottom = std::min(bottom, height_);
    if (left >= right || top >= bottom) return true;
    cairo_surface_flush(surface_.get());
    GdiFlush();
    if (BitBlt(target, left, top, right - left, bottom - top, dc_, left, top, SRCCOPY)) return true;
    std::fprintf(stderr, "layered bitmap: BitBlt failed (%lu)\n", GetLastError());
    return false;
}

}  // namespace Toolkit
