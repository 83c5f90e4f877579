#include "toolkit/DWriteText_win32.h"

#include <algorithm>
#include <iterator>

#include "toolkit/TextRenderer.h"
#include "utils/StringUtils.h"

namespace Toolkit::Text {
namespace {

// Faces of every Windows installation, after the toolkit's own list (whose Linux names may all
// be missing here).
const wchar_t* const kWindowsFaces[] = {L"Segoe UI", L"Tahoma", L"Arial", L"Microsoft Sans Serif"};
// CJK faces to fall back on, Simplified and Traditional orders; only installed faces that hold
// ideographs are used.
const wchar_t* const kSimplifiedFaces[] = {L"Microsoft YaHei", L"Noto Sans CJK SC", L"SimSun", L"NSimSun",
                                           L"Microsoft JhengHei", L"Noto Sans CJK TC", L"PMingLiU", L"MingLiU",
                                           L"Noto Sans CJK JP", L"Meiryo", L"Yu Gothic", L"MS Gothic",
                                           L"Malgun Gothic", L"Noto Sans CJK KR"};
const wchar_t* const kTraditionalFaces[] = {L"Microsoft JhengHei", L"Noto Sans CJK TC", L"Noto Sans CJK HK",
                                            L"PMingLiU", L"MingLiU", L"Microsoft YaHei", L"Noto Sans CJK SC",
                                            L"SimSun", L"NSimSun", L"Noto Sans CJK JP", L"Meiryo", L"Yu Gothic",
                                            L"MS Gothic", L"Malgun Gothic", L"Noto Sans CJK KR"};
// The ranges whose characters go to the CJK faces before the system's own fallback.
const DWRITE_UNICODE_RANGE kCjkRanges[] = {
    {0x1100, 0x11FF},   {0x2E80, 0x2FDF},   {0x2FF0, 0x31FF},  {0x3200, 0x4DBF},
    {0x4E00, 0x9FFF},   {0xA960, 0xA97F},   {0xAC00, 0xD7FF},  {0xF900, 0xFAFF},
    {0xFE10, 0xFE1F},   {0xFE30, 0xFE4F},   {0xFF00, 0xFFEF},  {0x20000, 0x3FFFF},
};
constexpr UINT32 kIdeograph = 0x5B89;  // "安": a CJK face must hold it
constexpr float kUnbounded = 1.0e6f;

bool IsTraditional(const std::wstring& language) {
    return language == L"zh-TW" || language == L"zh-HK" || language == L"zh-MO";
}

std::vector<std::wstring> SplitFamilies(const std::string& list) {
    std::vector<std::wstring> names;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t comma = list.find(',', start);
        if (comma == std::string::npos) comma = list.size();
        if (comma > start) names.push_back(Utils::FromUtf8(list.substr(start, comma - start)));
        start = comma + 1;
    }
    return names;
}

}  // namespace

// Made on first use and never destroyed. The first use can be on the font warm-up's worker
// while the process is already ending (the exit joins that worker): a static object would
// register its destructor then, and the C runtime's exit holds the lock that registration
// needs, so the two threads would wait for each other.
DWriteText& DWriteText::Instance() {
    static DWriteText* const instance = new DWriteText;
    return *instance;
}

DWriteText::DWriteText() {
    IUnknown* factory = nullptr;
    if (FAILED(DWriteCreateFactory(DWRITE_FACTORY_TYPE_SHARED, __uuidof(IDWriteFactory), &factory)) || !factory) return;
    factory_.reset(static_cast<IDWriteFactory*>(factory));
    IDWriteFontCollection* collection = nullptr;
    if (SUCCEEDED(factory_->GetSystemFontCollection(&collection, FALSE))) system_.reset(collection);
}

bool DWriteText::HasFamily(const std::wstring& family) const {
    UINT32 index = 0;
    BOOL exists = FALSE;
    return system_ && SUCCEEDED(system_->FindFamilyName(family.c_str(), &index, &exists)) && exists;
}

std::vector<std::wstring> DWriteText::FamiliesWith(const std::vector<std::wstring>& names, UINT32 probe) const {
    std::vector<std::wstring> found;
    if (!system_) return found;
    for (const std::wstring& name : names) {
        if (std::find(found.begin(), found.end(), name) != found.end()) continue;
        UINT32 index = 0;
        BOOL exists = FALSE;
        if (FAILED(system_->FindFamilyName(name.c_str(), &index, &exists)) || !exists) continue;
        IDWriteFontFamily* family = nullptr;
        if (FAILED(system_->GetFontFamily(index, &family))) continue;
        const ComRef<IDWriteFontFamily> ownedFamily(family);
        IDWriteFont* font = nullptr;
        if (FAILED(family->GetFirstMatchingFont(DWRITE_FONT_WEIGHT_NORMAL, DWRITE_FONT_STRETCH_NORMAL,
                                                DWRITE_FONT_STYLE_NORMAL, &font)))
            continue;
        const ComRef<IDWriteFont> ownedFont(font);
        BOOL has = FALSE;
        if (SUCCEEDED(font->HasCharacter(probe, &has)) && has) found.push_back(name);
    }
    return found;
}

IDWriteFontFallback* DWriteText::Fallback(const std::wstring& language, const std::vector<std::wstring>& preferred) {
    const std::wstring key = IsTraditional(language) ? L"traditional" : L"simplified";
    if (auto it = fallbacks_.find(key); it != fallbacks_.end()) return it->second.get();
    ComRef<IDWriteFactory2> factory2;
    {
        void* p = nullptr;
        if (SUCCEEDED(factory_->QueryInterface(__uuidof(IDWriteFactory2), &p))) factory2.reset(static_cast<IDWriteFactory2*>(p));
    }
    ComRef<IDWriteFontFallback> made;
    if (factory2) {
        IDWriteFontFallbackBuilder* builder = nullptr;
        if (SUCCEEDED(factory2->CreateFontFallbackBuilder(&builder))) {
            const ComRef<IDWriteFontFallbackBuilder> ownedBuilder(builder);
            std::vector<std::wstring> names = preferred;
            if (IsTraditional(language))
                names.insert(names.end(), std::begin(kTraditionalFaces), std::end(kTraditionalFaces));
            else
                names.insert(names.end(), std::begin(kSimplifiedFaces), std::end(kSimplifiedFaces));
            const std::vector<std::wstring> cjk = FamiliesWith(names, kIdeograph);
            bool ok = true;
            if (!cjk.empty()) {
                std::vector<const WCHAR*> targets;
                for (const std::wstring& name : cjk) targets.push_back(name.c_str());
                ok = SUCCEEDED(builder->AddMapping(kCjkRanges, static_cast<UINT32>(std::size(kCjkRanges)), targets.data(),
                                                   static_cast<UINT32>(targets.size()), system_.get(), nullptr, nullptr, 1.0f));
            }
            IDWriteFontFallback* system = nullptr;
            if (ok && SUCCEEDED(factory2->GetSystemFontFallback(&system))) {
                const ComRef<IDWriteFontFallback> ownedSystem(system);
                ok = SUCCEEDED(builder->AddMappings(system));
            }
            IDWriteFontFallback* fallback = nullptr;
            if (ok && SUCCEEDED(builder->CreateFontFallback(&fallback))) made.reset(fallback);
        }
    }
    // A DirectWrite without fallback builders keeps its own fallback: remembered as null.
    return fallbacks_.emplace(key, std::move(made)).first->second.get();
}

std::wstring DWriteText::InstalledFamily(const FontInfo& font, const std::wstring& language) const {
    std::vector<std::wstring> names = SplitFamilies(FamilyList(font.face, language));
    for (const wchar_t* face : kWindowsFaces) names.emplace_back(face);
    for (const std::wstring& name : names)
        if (HasFamily(name)) return name;
    return font.face.empty() ? std::wstring(kWindowsFaces[0]) : font.face;
}

std::wstring DWriteText::FamilyFor(const FontInfo& font, const std::wstring& language) {
    std::lock_guard lock(mutex_);
    if (!factory_) return {};
    return InstalledFamily(font, language);
}

IDWriteTextFormat* DWriteText::Format(const FontInfo& font, const std::wstring& language) {
    FormatKey key{font.face, font.size, font.bold, font.italic, language};
    std::lock_guard lock(mutex_);
    if (auto it = formats_.find(key); it != formats_.end()) return it->second.get();
    if (!factory_) return nullptr;
    const std::wstring family = InstalledFamily(font, language);
    const std::wstring locale = language.empty() ? std::wstring(L"en-US") : language;
    IDWriteTextFormat* format = nullptr;
    if (FAILED(factory_->CreateTextFormat(family.c_str(), nullptr,
                                          font.bold ? DWRITE_FONT_WEIGHT_BOLD : DWRITE_FONT_WEIGHT_NORMAL,
                                          font.italic ? DWRITE_FONT_STYLE_ITALIC : DWRITE_FONT_STYLE_NORMAL,
                                          DWRITE_FONT_STRETCH_NORMAL, static_cast<float>(std::max(1, font.size)),
                                          locale.c_str(), &format)))
        return nullptr;
    ComRef<IDWriteTextFormat> owned(format);
    void* p = nullptr;
    if (SUCCEEDED(format->QueryInterface(__uuidof(IDWriteTextFormat1), &p))) {
        const ComRef<IDWriteTextFormat1> format1(static_cast<IDWriteTextFormat1*>(p));
        if (IDWriteFontFallback* fallback = Fallback(language, SplitFamilies(FamilyList(L"", language)))) format1->SetFontFallback(fallback);
    }
    return formats_.emplace(std::move(key), std::move(owned)).first->second.get();
}

ComRef<IDWriteTextLayout> DWriteText::Layout(const std::wstring& text, const FontInfo& font, const TextStyle& style,
                                             float width, const std::wstring& language) {
    IDWriteTextFormat* format = Format(font, language);
    if (!format) return nullptr;
    std::wstring shown = text;
    if (!style.wordWrap) std::replace_if(shown.begin(), shown.end(), [](wchar_t c) { return c == L'\n' || c == L'\r'; }, L' ');
    const bool bounded = width > 0;
    IDWriteTextLayout* layout = nullptr;
    if (FAILED(factory_->CreateTextLayout(shown.c_str(), static_cast<UINT32>(shown.size()), format,
                                          bounded ? width : kUnbounded, kUnbounded, &layout)))
        return nullptr;
    ComRef<IDWriteTextLayout> owned(layout);
    const DWRITE_TEXT_RANGE all{0, static_cast<UINT32>(shown.size())};
    layout->SetWordWrapping(style.wordWrap ? DWRITE_WORD_WRAPPING_WRAP : DWRITE_WORD_WRAPPING_NO_WRAP);
    layout->SetTextAlignment(!bounded                         ? DWRITE_TEXT_ALIGNMENT_LEADING
                             : style.hAlign == HAlign::Center ? DWRITE_TEXT_ALIGNMENT_CENTER
                             : style.hAlign == HAlign::Right  ? DWRITE_TEXT_ALIGNMENT_TRAILING
                                                              : DWRITE_TEXT_ALIGNMENT_LEADING);
    if (font.underline) layout->SetUnderline(TRUE, all);
    DWRITE_TEXT_METRICS metrics{};
    if (!style.wordWrap && style.endEllipsis && bounded && SUCCEEDED(layout->GetMetrics(&metrics)) &&
        metrics.widthIncludingTrailingWhitespace > width) {
        // Cut text starts at the box's left edge whatever the alignment, as it does on Linux:
        // the cut falls between whole characters, so aligning what is left would move it by up
        // to a character's width.
        layout->SetTextAlignment(DWRITE_TEXT_ALIGNMENT_LEADING);
        IDWriteInlineObject* sign = nullptr;
        if (SUCCEEDED(factory_->CreateEllipsisTrimmingSign(layout, &sign))) {
            const ComRef<IDWriteInlineObject> ownedSign(sign);
            const DWRITE_TRIMMING trimming{DWRITE_TRIMMING_GRANULARITY_CHARACTER, 0, 0};
            layout->SetTrimming(&trimming, sign);  // the layout keeps its own reference
        }
    }
    return owned;
}

}  // namespace Toolkit::Text
