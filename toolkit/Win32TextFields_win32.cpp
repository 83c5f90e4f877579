#include "toolkit/Win32TextFields_win32.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "toolkit/Control.h"
#include "toolkit/NativePeer.h"
#include "toolkit/PaintManager.h"
#include "toolkit/ResourceSet.h"
#include "toolkit/Win32WindowHost_win32.h"

#include "utils/WindowsApi_win32.h"

#include "toolkit/DWriteText_win32.h"

#include <commctrl.h>

namespace Toolkit {
namespace {

constexpr wchar_t kFrameClass[] = L"QuorvexTextField";
constexpr UINT_PTR kSubclassId = 1;

COLORREF ToColorRef(Color c) { return RGB((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF); }

std::wstring WindowText(HWND hwnd) {
    const int length = GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<size_t>(std::max(0, length)) + 1, L'\0');
    const int got = GetWindowTextW(hwnd, text.data(), length + 1);
    text.resize(static_cast<size_t>(std::max(0, got)));
    return text;
}

}  // namespace

struct Win32TextFields::Field {
    CControlUI* control = nullptr;
    HWND frame = nullptr;  // owned: the edit is its child and goes with it
    HWND edit = nullptr;
    HFONT font = nullptr;  // owned
    HBRUSH brush = nullptr;  // owned
    FontInfo fontInfo;
    double fontScale = 0;
    int lineHeight = 0;  // pixels
    COLORREF text = 0, background = RGB(255, 255, 255);
    Rect rect;  // client units
    bool visible = false;

    ~Field() {
        if (frame) {
            SetWindowLongPtrW(frame, GWLP_USERDATA, 0);
            DestroyWindow(frame);  // before the font and brush it uses
        }
        if (font) DeleteObject(font);
        if (brush) DeleteObject(brush);
    }
};

Win32TextFields::Win32TextFields(Win32WindowHost& host) : host_(host) {}

Win32TextFields::~Win32TextFields() {
    dying_ = true;
    fields_.clear();
}

bool Win32TextFields::Owns(HWND hwnd) const {
    if (!hwnd) return false;
    for (const auto& [control, field] : fields_)
        if (field->frame == hwnd || field->edit == hwnd) return true;
    return false;
}

Win32TextFields::Field* Win32TextFields::FindByWindow(HWND hwnd) {
    for (auto& [control, field] : fields_)
        if (field->frame == hwnd || field->edit == hwnd) return field.get();
    return nullptr;
}

void Win32TextFields::Forget() {
    for (auto& [control, field] : fields_) field->frame = field->edit = nullptr;
    fields_.clear();
}

Win32TextFields::Field* Win32TextFields::FieldFor(CControlUI* control, ITextPeer* peer) {
    auto it = fields_.find(control);
    if (it != fields_.end()) return it->second.get();
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &Win32TextFields::FrameProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_IBEAM);
    wc.lpszClassName = kFrameClass;
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        std::fprintf(stderr, "text field: RegisterClassExW failed (%lu)\n", GetLastError());
        return nullptr;
    }
    auto field = std::make_unique<Field>();
    field->control = control;
    field->frame = CreateWindowExW(WS_EX_TOOLWINDOW, kFrameClass, L"", WS_POPUP | WS_CLIPCHILDREN, 0, 0, 1, 1,
                                   host_.Handle(), nullptr, instance, this);
    if (!field->frame) {
        std::fprintf(stderr, "text field: CreateWindowExW failed (%lu)\n", GetLastError());
        return nullptr;
    }
    field->edit = CreateWindowExW(0, L"EDIT", peer->PeerText().c_str(), WS_CHILD | WS_VISIBLE | ES_LEFT | ES_AUTOHSCROLL,
                                  0, 0, 1, 1, field->frame, reinterpret_cast<HMENU>(1), instance, nullptr);
    if (!field->edit) {
        std::fprintf(stderr, "text field: CreateWindowExW(EDIT) failed (%lu)\n", GetLastError());
        return nullptr;
    }
    if (!SetWindowSubclass(field->edit, &Win32TextFields::EditProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this)))
        std::fprintf(stderr, "text field: SetWindowSubclass failed\n");
    Field* raw = field.get();
    fields_[control] = std::move(field);
    peer->PeerAttached(true);
    return raw;
}

void Win32TextFields::Style(Field& field, ITextPeer* peer) {
    const FontInfo font = peer->PeerFont();
    const double scale = host_.Scale();
    if (!field.font || !(font == field.fontInfo) || scale != field.fontScale) {
        // The face the rest of the window draws this font with: a face the system lacks would
        // otherwise fall back to GDI's default, unlike the text around the field.
        std::wstring face = Text::DWriteText::Instance().FamilyFor(font, CurrentLanguage());
        if (face.empty()) face = font.face.empty() ? L"Segoe UI" : font.face;
        HFONT made = CreateFontW(-static_cast<int>(std::lround(font.size * scale)), 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL,
                                 font.italic, font.underline, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                 CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face.c_str());
        if (made) {
            SendMessageW(field.edit, WM_SETFONT, reinterpret_cast<WPARAM>(made), TRUE);
            if (field.font) DeleteObject(field.font);
            field.font = made;
            field.fontInfo = font;
            field.fontScale = scale;
            TEXTMETRICW tm{};
            if (HDC dc = GetDC(field.edit)) {
                HGDIOBJ old = SelectObject(dc, made);
                if (GetTextMetricsW(dc, &tm)) field.lineHeight = tm.tmHeight + 2;
                SelectObject(dc, old);
                ReleaseDC(field.edit, dc);
            }
        } else {
            std::fprintf(stderr, "text field: CreateFontW failed\n");
        }
    }
    field.text = ToColorRef(peer->PeerTextColor());
    SendMessageW(field.edit, EM_SETLIMITTEXT, static_cast<WPARAM>(std::max(0, peer->PeerMaxChars())), 0);
    SendMessageW(field.edit, EM_SETPASSWORDCHAR, peer->PeerPassword() ? 0x25CF : 0, 0);
    SendMessageW(field.edit, EM_SETREADONLY, peer->PeerReadOnly(), 0);
}

void Win32TextFields::Place(Field& field) {
    HWND host = host_.Handle();
    RECT wr;
    if (!field.visible || !host || !IsWindowVisible(host) || IsIconic(host) || !GetWindowRect(host, &wr)) {
        ShowWindow(field.frame, SW_HIDE);
        return;
    }
    const double s = host_.Scale();
    const auto px = [s](double units) { return static_cast<int>(std::lround(units * s)); };
    const int m = host_.Margin();
    const int x = wr.left + px(m + field.rect.left), top = wr.top + px(m + field.rect.top);
    const int w = std::max(1, px(field.rect.Width())), h = std::max(1, px(field.rect.Height()));
    // The edit draws its line at its top; its pop-up is opaque, so it covers only that line,
    // centred in the field as the toolkit centres text: the field's own border above and below
    // (the text area often reaches it) stays in view.
    const int lh = field.lineHeight > 0 ? std::min(field.lineHeight, h) : h;
    if (!SetWindowPos(field.frame, nullptr, x, top + (h - lh) / 2, w, lh, SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW))
        std::fprintf(stderr, "text field: SetWindowPos failed (%lu)\n", GetLastError());
    if (!MoveWindow(field.edit, 0, 0, w, lh, TRUE))
        std::fprintf(stderr, "text field: MoveWindow failed (%lu)\n", GetLastError());
}

void Win32TextFields::Sync(CControlUI* root) {
    std::vector<std::pair<CControlUI*, ITextPeer*>> peers;
    root->FindFirst([&](CControlUI* c) {
        if (ITextPeer* peer = c->TextPeer()) peers.emplace_back(c, peer);
        return false;
    });
    for (const auto& [control, peer] : peers) {
        const Rect r = peer->PeerRect();
        auto it = fields_.find(control);
        if (!control->IsReallyVisible() || r.IsEmpty()) {
            if (it != fields_.end()) {
                it->second->visible = false;
                Place(*it->second);
            }
            continue;
        }
        Field* field = FieldFor(control, peer);
        if (!field) continue;
        Style(*field, peer);
        EnableWindow(field->edit, enabled_ && control->IsEnabled());
        field->rect = r;
        field->visible = true;
        Place(*field);
    }
}

void Win32TextFields::Follow() {
    for (auto& [control, field] : fields_) Place(*field);
}

void Win32TextFields::Repainted() {
    int width = 0, height = 0;
    const unsigned char* pixels = host_.Pixels(&width, &height);
    if (!pixels) return;
    const double s = host_.Scale();
    const int m = host_.Margin();
    for (auto& [control, field] : fields_) {
        if (!field->visible) continue;
        // The first pixel column of the field: the control paints no text there while the
        // field has it. Premultiplied, over white where the window lets the desktop through.
        const int x = std::clamp(static_cast<int>(std::lround((m + field->rect.left) * s)), 0, width - 1);
        const int y = std::clamp(static_cast<int>(std::lround((m + (field->rect.top + field->rect.bottom) / 2.0) * s)), 0,
                                 height - 1);
        const unsigned char* p = pixels + (static_cast<size_t>(y) * width + x) * 4;
        const int white = 255 - p[3];
        const COLORREF colour = RGB(p[2] + white, p[1] + white, p[0] + white);
        if (field->brush && colour == field->background) continue;
        HBRUSH brush = CreateSolidBrush(colour);
        if (!brush) continue;
        if (field->brush) DeleteObject(field->brush);
        field->brush = brush;
        field->background = colour;
        InvalidateRect(field->frame, nullptr, TRUE);
        InvalidateRect(field->edit, nullptr, TRUE);
    }
}

bool Win32TextFields::Focus(CControlUI* control) {
    auto it = control ? fields_.find(control) : fields_.end();
    if (it == fields_.end() || !it->second->visible) return false;
    if (GetFocus() != it->second->edit) SetFocus(it->second->edit);
    return true;
}

void Win32TextFields::TextChanged(CControlUI* control) {
    auto it = fields_.find(control);
    ITextPeer* peer = control ? control->TextPeer() : nullptr;
    if (it == fields_.end() || !peer) return;
    settingText_ = true;
    if (!SetWindowTextW(it->second->edit, peer->PeerText().c_str()))
        std::fprintf(stderr, "text field: SetWindowTextW failed (%lu)\n", GetLastError());
    settingText_ = false;
}

void Win32TextFields::Removed(CControlUI* control) {
    auto it = fields_.find(control);
    if (it != fields_.end()) fields_.erase(it);
}

void Win32TextFields::Enable(bool enabled) {
    enabled_ = enabled;
    for (auto& [control, field] : fields_) EnableWindow(field->edit, enabled && control->IsEnabled());
}

LRESULT CALLBACK Win32TextFields::FrameProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    auto* self = reinterpret_cast<Win32TextFields*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    Field* field = self && !self->dying_ ? self->FindByWindow(hwnd) : nullptr;
    if (!field) return DefWindowProcW(hwnd, msg, wParam, lParam);
    switch (msg) {
        case WM_COMMAND:
            if (HIWORD(wParam) == EN_CHANGE && !self->settingText_) {
                if (ITextPeer* peer = field->control->TextPeer()) peer->PeerTextEdited(WindowText(field->edit));
                return 0;
            }
            if (HIWORD(wParam) == EN_SETFOCUS) {
                self->host_.Manager().SetFocus(field->control);
                return 0;
            }
            break;
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORSTATIC: {
            HDC dc = reinterpret_cast<HDC>(wParam);
            SetTextColor(dc, field->text);
            SetBkColor(dc, field->background);
            return reinterpret_cast<LRESULT>(field->brush ? field->brush : GetStockObject(WHITE_BRUSH));
        }
        case WM_ERASEBKGND: {
            RECT r;
            if (GetClientRect(hwnd, &r))
                FillRect(reinterpret_cast<HDC>(wParam), &r,
                         field->brush ? field->brush : static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
            return 1;
        }
        case WM_SYSCOMMAND:
            // The field's pop-up is no window of its own to the user: its close is the window's.
            if ((wParam & 0xFFF0) == SC_CLOSE) {
                self->host_.CloseCommand();
                return 0;
            }
            break;
        case WM_CLOSE:
            return 0;
        default:
            break;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK Win32TextFields::EditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                           DWORD_PTR data) {
    auto* self = reinterpret_cast<Win32TextFields*>(data);
    if (msg == WM_NCDESTROY) RemoveWindowSubclass(hwnd, &Win32TextFields::EditProc, id);
    if (self->dying_) return DefSubclassProc(hwnd, msg, wParam, lParam);
    switch (msg) {
        case WM_KEYDOWN: {
            const std::uintptr_t vk = Win32WindowHost::VirtualKey(wParam);
            if (vk == Key::Tab || vk == Key::Escape) {
                // As from the window; may close it and this field with it: nothing after.
                self->host_.OnKey(wParam);
                return 0;
            }
            std::intptr_t result = 0;
            if (vk == Key::Return &&
                self->host_.Manager().PreMessage(WM_KEYDOWN, vk, Win32WindowHost::KeyModifiers(), result))
                return 0;
            break;
        }
        case WM_SYSKEYDOWN:
            if (wParam == VK_F4) {
                self->host_.CloseCommand();
                return 0;
            }
            break;
        case WM_CHAR:
            // A single-line edit beeps at these; the toolkit has taken them.
            if (wParam == L'\t' || wParam == L'\r' || wParam == 0x1B) return 0;
            break;
        default:
            break;
    }
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

}  // namespace Toolkit
