#pragma once
// How a skinned window is described: the layout inside the skin package and the window class
// name derived from it.
#include <string>

struct SkinWindowSpec {
    std::wstring skinFolder;  // always empty: layouts sit at the skin package's root
    std::wstring skinFile;    // "MainWnd.xml"
    std::wstring className;   // "MainWnd": the file name up to its last "."

    static SkinWindowSpec ForLayout(const std::wstring& layoutFile) {
        const size_t dot = layoutFile.rfind(L'.');
        return SkinWindowSpec{L"", layoutFile, dot == std::wstring::npos ? layoutFile : layoutFile.substr(0, dot)};
    }
};
