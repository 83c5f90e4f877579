#include "toolkit/TextRenderer.h"

#include "utils/StringUtils.h"

namespace Toolkit::Text {

std::string FamilyList(const std::wstring& face) { return FamilyList(face, CurrentLanguage()); }

std::string FamilyList(const std::wstring& face, const std::wstring& lang) {
    std::string list;
    if (!face.empty()) list = Utils::ToUtf8(face) + ",";
    const bool traditional = lang == L"zh-TW" || lang == L"zh-HK" || lang == L"zh-MO";
    list += "Microsoft YaHei,";
    list += traditional ? "Noto Sans CJK TC,Noto Sans CJK SC," : "Noto Sans CJK SC,Noto Sans CJK TC,";
    list += "Noto Sans CJK JP,WenQuanYi Micro Hei,Droid Sans Fallback,Noto Sans,DejaVu Sans,sans-serif";
    return list;
}

}  // namespace Toolkit::Text
