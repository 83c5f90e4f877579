#include "tools/sample-package/CompressorWindow_win32.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "tools/sample-package/ProductWindow.h"
#include "tools/sample-package/SampleSystem.h"
#include "utils/WindowsApi_win32.h"
#include "utils/SystemFunction_win32.h"
#include "utils/WinResource_win32.h"
#include <shobjidl.h>

namespace sample {

namespace {

// The GTK window's measures at 96 DPI: its default size, border and spacing.
constexpr int kClientWidth = 420;
constexpr int kClientHeight = 180;
constexpr int kMargin = 18;
constexpr int kSpacing = 12;
// Room around the button's text, top and bottom together.
constexpr int kButtonPadding = 14;
constexpr int kChooseId = 100;
constexpr DWORD kWindowStyle = WS_OVERLAPPEDWINDOW;
constexpr DWORD kWindowExStyle = WS_EX_CONTROLPARENT;

// Functions that came with Windows 10 (1607), looked up so the program still starts on the
// older systems its manifest names; those get the system DPI instead.
template <typename Function>
Function User32Function(const char* name) {
    return Utils::win::SystemFunction<Function>(L"user32.dll", name);
}

UINT ScreenDpi() {
    const HDC screen = ::GetDC(nullptr);
    if (!screen) return 96;
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

UINT WindowDpi(HWND window) {
    static const auto forWindow = User32Function<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
    if (forWindow)
        if (const UINT dpi = forWindow(window)) return dpi;
    return ScreenDpi();
}

// The message font of the non-client metrics, at `dpi`.
LOGFONTW MessageFont(UINT dpi) {
    static const auto forDpi = User32Function<BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT)>("SystemParametersInfoForDpi");
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (forDpi && forDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi)) return metrics.lfMessageFont;
    if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
        // Given at the system DPI.
        metrics.lfMessageFont.lfHeight = ::MulDiv(metrics.lfMessageFont.lfHeight, static_cast<int>(dpi),
                                                  static_cast<int>(ScreenDpi()));
        return metrics.lfMessageFont;
    }
    LOGFONTW font{};
    if (::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font) != sizeof font) font = LOGFONTW{};
    font.lfHeight = -::MulDiv(9, static_cast<int>(dpi), 72);
    return font;
}

// The height `text` takes in `font`, broken into lines of `width` pixels.
int TextHeight(HWND window, HFONT font, const std::wstring& text, int width) {
    const HDC dc = ::GetDC(window);
    if (!dc) return 0;
    const HGDIOBJ previous = font ? ::SelectObject(dc, font) : nullptr;
    RECT box{0, 0, width, 0};
    const int height = ::DrawTextW(dc, text.empty() ? L" " : text.c_str(), -1, &box,
                                   DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EDITCONTROL);
    if (previous) ::SelectObject(dc, previous);
    ::ReleaseDC(window, dc);
    return height > 0 ? height : 0;
}

std::wstring WindowText(HWND window) {
    std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

long long FileSize(const std::filesystem::path& path) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    return ec ? -1 : static_cast<long long>(size);
}

}  // namespace

void CompressorWindow::FontDeleter::operator()(HFONT font) const { ::DeleteObject(font); }

CompressorWindow::~CompressorWindow() {
    // The controls select our fonts until they go: the window goes before the fonts do.
    if (window_) ::DestroyWindow(window_);
}

bool CompressorWindow::Create() {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &CompressorWindow::Procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hIcon = ::LoadIconW(nullptr, IDI_APPLICATION);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    windowClass.lpszClassName = kClassName;
    if (!::RegisterClassExW(&windowClass) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;

    // Made hidden on the primary monitor, then sized for that monitor's DPI and centred there.
    const HMONITOR primary = ::MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (!::GetMonitorInfoW(primary, &monitor)) return false;
    const RECT work = monitor.rcWork;
    if (!::CreateWindowExW(kWindowExStyle, kClassName, L"Quorvex", kWindowStyle, work.left, work.top, kClientWidth,
                           kClientHeight, nullptr, nullptr, instance, this))
        return false;  // window_ is set in WM_NCCREATE
    ApplyDpi(WindowDpi(window_));
    const SIZE size = WindowSize();
    const int x = work.left + std::max(0L, (work.right - work.left - size.cx) / 2);
    const int y = work.top + std::max(0L, (work.bottom - work.top - size.cy) / 2);
    if (!::SetWindowPos(window_, nullptr, x, y, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE)) return false;
    // The show command the starter asked for (the installer's "normal window").
    ::ShowWindow(window_, SW_SHOWDEFAULT);
    return ::UpdateWindow(window_) != 0;
}

int CompressorWindow::Run() {
    MSG message{};
    for (;;) {
        const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) return static_cast<int>(message.wParam);
        if (got == -1) return 1;
        // The dialog manager gives Tab, Enter, Esc and the Alt mnemonics their meaning.
        if (window_ && ::IsDialogMessageW(window_, &message)) continue;
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}

LRESULT CALLBACK CompressorWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<CompressorWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->window_ = window;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<CompressorWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) return ::DefWindowProcW(window, message, wParam, lParam);
    const LRESULT result = self->Handle(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->window_ = nullptr;
    }
    return result;
}

LRESULT CompressorWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        return CreateControls() ? 0 : -1;
    case WM_SIZE:
        Layout();
        return 0;
    case WM_SETFOCUS:
        // Back from the dialog or from another program: the one control that takes input.
        if (button_) ::SetFocus(button_);
        return 0;
    case DM_GETDEFID:
        // Enter anywhere in the window presses the button.
        return MAKELRESULT(kChooseId, DC_HASDEFID);
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case kChooseId:
        case IDOK:
            ChooseAndCompress();
            return 0;
        case IDCANCEL:  // Esc
            ::PostMessageW(window_, WM_CLOSE, 0, 0);
            return 0;
        }
        break;
    case WM_CTLCOLORSTATIC: {
        // The labels take the window's own background.
        const HDC dc = reinterpret_cast<HDC>(wParam);
        ::SetBkMode(dc, TRANSPARENT);
        ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
        return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_DPICHANGED: {
        // Moved to a monitor of another DPI (or its scale changed): new fonts and measures, in
        // the rectangle the system suggests so the window stays under the pointer.
        ApplyDpi(HIWORD(wParam));
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        ::SetWindowPos(window_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                       suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    case WM_SETTINGCHANGE:
        if (wParam == SPI_SETNONCLIENTMETRICS) ApplyDpi(dpi_);  // the user changed the message font
        break;
    case WM_GETMINMAXINFO: {
        auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
        limits->ptMinTrackSize.x = Scale(kClientWidth / 2);
        limits->ptMinTrackSize.y = Scale(kClientHeight / 2);
        return 0;
    }
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcW(window_, message, wParam, lParam);
}

bool CompressorWindow::CreateControls() {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    const DWORD label = WS_CHILD | WS_VISIBLE | SS_NOPREFIX;
    title_ = ::CreateWindowExW(0, L"STATIC", L"Quorvex file compressor", label | SS_CENTER, 0, 0, 0, 0, window_,
                               nullptr, instance, nullptr);
    button_ = ::CreateWindowExW(0, L"BUTTON", L"&Choose a file to compress\u2026",
                                WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 0, 0, 0, window_,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(kChooseId)), instance, nullptr);
    status_ = ::CreateWindowExW(0, L"STATIC",
                                L"The compressed copy is written next to the file, with \".gz\" added.",
                                label | SS_LEFT | SS_EDITCONTROL, 0, 0, 0, 0, window_, nullptr, instance, nullptr);
    return title_ && button_ && status_;
}

int CompressorWindow::Scale(int pixelsAt96) const { return ::MulDiv(pixelsAt96, static_cast<int>(dpi_), 96); }

void CompressorWindow::ApplyDpi(UINT dpi) {
    dpi_ = dpi ? dpi : 96;
    LOGFONTW font = MessageFont(dpi_);
    Font message(::CreateFontIndirectW(&font));
    font.lfWeight = FW_BOLD;
    Font title(::CreateFontIndirectW(&font));
    // A font the system refuses keeps the one before (or the system's own).
    if (message) {
        ::SendMessageW(button_, WM_SETFONT, reinterpret_cast<WPARAM>(message.get()), FALSE);
        ::SendMessageW(status_, WM_SETFONT, reinterpret_cast<WPARAM>(message.get()), FALSE);
        messageFont_ = std::move(message);
    }
    if (title) {
        ::SendMessageW(title_, WM_SETFONT, reinterpret_cast<WPARAM>(title.get()), FALSE);
        titleFont_ = std::move(title);
    }
    Layout();
    ::InvalidateRect(window_, nullptr, TRUE);
}

SIZE CompressorWindow::WindowSize() const {
    // The GTK window's default size; taller when a large message font needs the room.
    const int width = Scale(kClientWidth);
    const int inner = width - 2 * Scale(kMargin);
    const int needed = 2 * Scale(kMargin) + 2 * Scale(kSpacing) +
                       TextHeight(window_, titleFont_.get(), WindowText(title_), inner) +
                       TextHeight(window_, messageFont_.get(), L"Ag", inner) + Scale(kButtonPadding) +
                       TextHeight(window_, messageFont_.get(), WindowText(status_), inner);
    RECT frame{0, 0, width, std::max(Scale(kClientHeight), needed)};
    static const auto forDpi = User32Function<BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT)>("AdjustWindowRectExForDpi");
    if (!(forDpi && forDpi(&frame, kWindowStyle, FALSE, kWindowExStyle, dpi_)))
        ::AdjustWindowRectEx(&frame, kWindowStyle, FALSE, kWindowExStyle);
    return SIZE{frame.right - frame.left, frame.bottom - frame.top};
}

void CompressorWindow::Layout() {
    if (!window_ || !title_ || !button_ || !status_) return;
    RECT client{};
    if (!::GetClientRect(window_, &client)) return;
    const int margin = Scale(kMargin);
    const int spacing = Scale(kSpacing);
    const int left = margin;
    const int width = std::max(0, static_cast<int>(client.right) - 2 * margin);
    int top = margin;
    const int titleHeight = TextHeight(window_, titleFont_.get(), WindowText(title_), width);
    ::MoveWindow(title_, left, top, width, titleHeight, TRUE);
    top += titleHeight + spacing;
    const int buttonHeight = TextHeight(window_, messageFont_.get(), L"Ag", width) + Scale(kButtonPadding);
    ::MoveWindow(button_, left, top, width, buttonHeight, TRUE);
    top += buttonHeight + spacing;
    // The status line sits in the middle of the room that is left, as the GTK label does.
    const int room = std::max(0, static_cast<int>(client.bottom) - margin - top);
    const int statusHeight = std::min(room, TextHeight(window_, messageFont_.get(), WindowText(status_), width));
    ::MoveWindow(status_, left, top + (room - statusHeight) / 2, width, std::max(statusHeight, 1), TRUE);
}

void CompressorWindow::ChooseAndCompress() {
    // The dialog is modal, but a second Enter can still be queued behind the first.
    if (choosing_) return;
    choosing_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{choosing_};

    Utils::win::ComPtr<IFileOpenDialog> dialog;
    if (FAILED(::CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog,
                                  dialog.ReceiveVoid()))) {
        ShowStatus(L"The file chooser could not be opened.");
        return;
    }
    FILEOPENDIALOGOPTIONS options = 0;
    if (SUCCEEDED(dialog->GetOptions(&options)))
        (void)dialog->SetOptions(options | FOS_FORCEFILESYSTEM | FOS_FILEMUSTEXIST | FOS_PATHMUSTEXIST |
                                 FOS_NOCHANGEDIR);
    // Wording only: the dialog works without it.
    (void)dialog->SetTitle(L"Choose a file to compress");
    (void)dialog->SetOkButtonLabel(L"&Compress");
    const HRESULT shown = dialog->Show(window_);
    if (shown == HRESULT_FROM_WIN32(ERROR_CANCELLED)) return;
    Utils::win::ComPtr<IShellItem> item;
    if (FAILED(shown) || FAILED(dialog->GetResult(item.Receive()))) {
        ShowStatus(L"The file chooser could not be opened.");
        return;
    }
    PWSTR path = nullptr;
    if (FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, &path)) || !path) {
        ShowStatus(L"Only local files can be compressed.");
        return;
    }
    const std::wstring source = path;
    ::CoTaskMemFree(path);
    Compress(source);
}

void CompressorWindow::Compress(const std::wstring& source) {
    const std::filesystem::path sourcePath(source);
    const std::string sourceText = PathToUtf8(sourcePath);
    std::string target;
    const HCURSOR previous = ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
    const bool compressed = !sourceText.empty() && CompressFile(sourceText, target);
    ::SetCursor(previous);
    if (!compressed) {
        ShowStatus(L"Could not compress " + source);
        return;
    }
    const std::filesystem::path targetPath = PathFromUtf8(target);
    ShowStatus(std::to_wstring(FileSize(sourcePath)) + L" bytes compressed to " +
               std::to_wstring(FileSize(targetPath)) + L" bytes:\n" + targetPath.wstring());
}

void CompressorWindow::ShowStatus(const std::wstring& text) {
    ::SetWindowTextW(status_, text.c_str());
    Layout();  // its height follows the number of lines
}

}  // namespace sample
