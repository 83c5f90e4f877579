#pragma once
// The pixels of a layered window: a top-down 32-bit DIB section (premultiplied BGRA, the byte
// order of cairo's ARGB32) selected into a memory DC, with a cairo image surface over the same
// memory. Present() hands the bitmap to the system (UpdateLayeredWindow with per-pixel alpha),
// which is all a layered window ever shows; Blit() copies it to an ordinary window, where the
// desktop composes nothing and per-pixel alpha would show as black.
//
// Thread: the user-interface thread.
#include <memory>

#include "toolkit/CairoPtr.h"

struct HWND__;
struct HDC__;
struct HBITMAP__;

namespace Toolkit {

class Win32LayeredBitmap {
public:
    // Null when the bitmap cannot be made (the reason is on standard error). `scale` is the
    // device scale of the cairo surface (pixels per window unit).
    static std::unique_ptr<Win32LayeredBitmap> Make(int width, int height, double scale);
    ~Win32LayeredBitmap();
    Win32LayeredBitmap(const Win32LayeredBitmap&) = delete;
    Win32LayeredBitmap& operator=(const Win32LayeredBitmap&) = delete;

    int Width() const { return width_; }
    int Height() const { return height_; }
    double Scale() const { return scale_; }
    cairo_surface_t* Surface() const { return surface_.get(); }
    // Rows of Width() * 4 bytes, top-down.
    const unsigned char* Bits() const { return static_cast<const unsigned char*>(bits_); }
    // Shows the bitmap as `window`'s content at its size; moves the window to (x, y) in screen
    // pixels when `move` is set. False (reported on standard error) when the system refused.
    bool Present(HWND__* window, bool move = false, int x = 0, int y = 0);
    // The same when only the pixels in [left, right) x [top, bottom) changed since the last
    // presentation: the system then copies only those (the progress animation changes a strip
    // of the window thirty times a second). The first presentation of a bitmap is whole.
    bool PresentChanged(HWND__* window, int left, int top, int right, int bottom);
    // Copies the pixels in [left, right) x [top, bottom) to the same place of `target`, a device
    // context of an ordinary window whose client area is the bitmap. The alpha channel is not
    // used: the caller paints opaque pixels. False (reported on standard error) when refused.
    bool Blit(HDC__* target, int left, int top, int right, int bottom) const;

private:
    Win32LayeredBitmap() = default;

    HDC__* dc_ = nullptr;
    HBITMAP__* bitmap_ = nullptr;
    void* previous_ = nullptr;
    void* bits_ = nullptr;
    int width_ = 0, height_ = 0;
    double scale_ = 1.0;
    bool presented_ = false;  // the window shows this bitmap's pixels
    SurfacePtr surface_;
};

}  // namespace Toolkit
