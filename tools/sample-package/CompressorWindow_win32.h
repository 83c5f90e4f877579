#pragma once
// The Windows window of the sample product, the twin of the GTK one: a title, one button that
// opens the common open dialog, and a status line that tells how the compression went. Laid out
// in the system's message font at the DPI of the monitor it is on; keyboard use through the
// dialog manager (Tab, Enter or Alt+C choose a file, Esc closes).
#include <memory>
#include <string>
#include <type_traits>

#include "utils/WindowsApi_win32.h"

namespace sample {

class CompressorWindow {
public:
    // The window's class name, matching the GTK window's WM_CLASS.
    static constexpr const wchar_t* kClassName = L"quorvex-compressor";

    CompressorWindow() = default;
    ~CompressorWindow();
    CompressorWindow(const CompressorWindow&) = delete;
    CompressorWindow& operator=(const CompressorWindow&) = delete;

    // Creates the window centred on the primary monitor and shows it with the start-up
    // information's show command. False when the system gives no window (no desktop).
    bool Create();
    // Runs the thread's messages until the window is closed; the process's exit code.
    int Run();

private:
    struct FontDeleter {
        void operator()(HFONT font) const;
    };
    using Font = std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter>;

    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);

    bool CreateControls();
    // Fonts and metrics for `dpi`, then the layout.
    void ApplyDpi(UINT dpi);
    void Layout();
    int Scale(int pixelsAt96) const;
    // The size of the whole window whose client area is the GTK window's default size.
    SIZE WindowSize() const;

    void ChooseAndCompress();
    void Compress(const std::wstring& source);
    void ShowStatus(const std::wstring& text);

    HWND window_ = nullptr;
    HWND title_ = nullptr;
    HWND button_ = nullptr;
    HWND status_ = nullptr;
    UINT dpi_ = 96;
    Font messageFont_;
    Font titleFont_;
    bool choosing_ = false;
};

}  // namespace sample
