#include "ui/windows/CSkinFrame.h"

using namespace Toolkit;

void CSkinFrame::InitWindow() { RestyleWindow(); }

void CSkinFrame::RestyleWindow() {
    SetStyle((GetStyle() & ~(WS_CAPTION | WS_MAXIMIZEBOX)) | WS_CLIPSIBLINGS | WS_CLIPCHILDREN);
    SetExStyle(GetExStyle() & ~WS_EX_TOPMOST);
}

std::intptr_t CSkinFrame::MessageHandler(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t, bool& handled) {
    handled = msg == WM_KEYDOWN && wParam == Key::Escape;
    return 0;
}
