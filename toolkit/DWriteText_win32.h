#pragma once
// DirectWrite's side of the toolkit's text on Windows: the process-wide shared factory, one
// text format per font and language, and the layouts Text::Draw, Text::Measure and the font
// warm-up share, so all three see the same fonts and line breaks.
//
// Fonts: the face a skin names is looked up first, then the toolkit's fallback family list
// (Text::FamilyList) and the usual Windows faces; the first installed one is the format's
// family. Characters it lacks go through a fallback of our own for the CJK ranges (installed
// CJK faces that really hold ideographs, Traditional ones first for zh-TW, zh-HK and zh-MO),
// then through the system's fallback, so a face the system lacks ("微软雅黑" under wine) still
// draws Chinese.
//
// Thread: any. The factory and everything made from it are shared and safe to use from several
// threads; the caches are guarded here. Formats are never changed once made.
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <tuple>
#include <vector>

#include "toolkit/ResourceSet.h"
#include "toolkit/TextStyle.h"
#include "utils/WindowsApi_win32.h"
#include <dwrite_2.h>

namespace Toolkit::Text {

// A COM interface pointer released once; movable, so it can live in maps.
struct ComRelease {
    void operator()(IUnknown* p) const {
        if (p) p->Release();
    }
};
template <typename T>
using ComRef = std::unique_ptr<T, ComRelease>;

class DWriteText {
public:
    static DWriteText& Instance();

    // A layout of `text` as the toolkit draws it: wrapped at `width` when style.wordWrap, else
    // one line (line breaks shown as spaces), cut with an end ellipsis at `width` when
    // style.endEllipsis (cut text is left aligned). Lines are aligned inside `width` by
    // style.hAlign; `width` <= 0 means unbounded (left aligned). Null when DirectWrite is unavailable or refuses.
    ComRef<IDWriteTextLayout> Layout(const std::wstring& text, const FontInfo& font, const TextStyle& style,
                                     float width, const std::wstring& language);

    // The installed family the toolkit draws `font` with (the first of the face and its
    // fallback list that is installed), for whoever must draw with the same face elsewhere (the
    // native edit fields); "" when DirectWrite is unavailable.
    std::wstring FamilyFor(const FontInfo& font, const std::wstring& language);

    DWriteText(const DWriteText&) = delete;
    DWriteText& operator=(const DWriteText&) = delete;

private:
    DWriteText();
    using FormatKey = std::tuple<std::wstring, int, bool, bool, std::wstring>;

    // The format for a font and language, made on first use; borrowed (the cache owns it).
    IDWriteTextFormat* Format(const FontInfo& font, const std::wstring& language);
    bool HasFamily(const std::wstring& family) const;
    // The first installed family of the face and its fallback list. Called with mutex_ held.
    std::wstring InstalledFamily(const FontInfo& font, const std::wstring& language) const;
    // Installed families from `names` whose first font holds `probe`, in the given order.
    std::vector<std::wstring> FamiliesWith(const std::vector<std::wstring>& names, UINT32 probe) const;
    // The fallback for a language (the installed CJK faces of `preferred`, then the usual Windows
    // CJK faces, then the system's fallback); borrowed, may be null. Called with mutex_ held.
    IDWriteFontFallback* Fallback(const std::wstring& language, const std::vector<std::wstring>& preferred);

    std::mutex mutex_;
    ComRef<IDWriteFactory> factory_;
    ComRef<IDWriteFontCollection> system_;
    std::map<FormatKey, ComRef<IDWriteTextFormat>> formats_;
    std::map<std::wstring, ComRef<IDWriteFontFallback>> fallbacks_;
};

}  // namespace Toolkit::Text
