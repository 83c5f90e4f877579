#pragma once
// The common base of the installer's skinned windows: a toolkit window built from one layout
// of the skin package, without a native caption, in which Escape does nothing.
//
// Thread: the user-interface thread.
#include "toolkit/WindowBase.h"
#include "ui/windows/SkinWindowSpec.h"

class CSkinFrame : public Toolkit::CWindowBase {
public:
    explicit CSkinFrame(SkinWindowSpec window) : spec_(std::move(window)) {}

    std::wstring GetWindowClassName() const override { return spec_.className; }
    std::wstring GetSkinFile() override { return spec_.skinFile; }
    std::wstring GetSkinFolder() override { return spec_.skinFolder; }
    void InitWindow() override;
    // Swallows the key-down of Escape; everything else goes on to the toolkit.
    std::intptr_t MessageHandler(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam,
                                 bool& handled) override;

protected:
    // The window style changes every skinned window makes once it exists.
    void RestyleWindow();

private:
    SkinWindowSpec spec_;
};
