#include "ui/skin/LanguageList.h"

#include <pugixml.hpp>

#include <atomic>

#include "toolkit/Combo.h"
#include "toolkit/ComboItem.h"
#include "toolkit/SkinResources.h"
#include "toolkit/Values.h"
#include "ui/skin/SkinPackage.h"
#include "utils/StringUtils.h"
#include "utils/SystemLocale.h"

namespace Skin {

namespace {

std::atomic<int> g_threadLanguage{0};

bool IsTraditionalChinese(std::uint16_t lcid) { return lcid == 1028 || lcid == 3076 || lcid == 5124; }

}  // namespace

void FillLanguageList(Toolkit::CComboUI* list, std::uint16_t userUiLanguage) {
    if (!list) return;
    std::string xml;
    if (!Toolkit::SkinResources::Instance().Read(L"lang.xml", xml)) return;
    pugi::xml_document doc;
    if (!doc.load_buffer(xml.data(), xml.size())) return;
    const pugi::xml_node root = doc.document_element();
    if (!root) return;
    for (pugi::xml_node n : root.children()) {
        if (n.type() != pugi::node_element || !Utils::EqualsNoCase(Utils::FromUtf8(n.name()), L"Lang")) continue;
        if (!n.first_attribute()) continue;
        std::wstring text, lcid, lang;
        bool hasLcid = false, hasLang = false;
        for (pugi::xml_attribute a : n.attributes()) {
            const std::wstring name = Utils::AsciiLower(Utils::FromUtf8(a.name()));
            const std::wstring value = Utils::FromUtf8(a.value());
            if (name == L"text") text = value;
            else if (name == L"lcid") { lcid = value; hasLcid = true; }
            else if (name == L"lang") { lang = value; hasLang = true; }
        }
        Toolkit::CComboItemUI* item = list->AddItem(text);
        if (hasLcid) item->SetCustomAttribute(L"lcid", lcid);
        if (hasLang) item->SetCustomAttribute(L"lang", lang);
        if (hasLcid && Toolkit::ParseInt(lcid) == LanguageId().load())
            list->SelectItem(list->GetCount() - 1);
    }
    list->SelectItem(IsTraditionalChinese(userUiLanguage) ? 1 : 0);
}

int ApplyLanguageChoice(Toolkit::CControlUI* item, std::wstring& languageCode) {
    if (!item) return 0;
    const std::wstring* lcidText = item->GetCustomAttribute(L"lcid");
    const std::wstring* langText = item->GetCustomAttribute(L"lang");
    int lcid = 0;
    std::wstring locale;
    if (lcidText) {
        lcid = Toolkit::ParseInt(*lcidText);
        const auto& table = LocaleTable();
        const auto it = table.find(lcid);
        if (it != table.end()) locale = it->second;
    } else if (langText) {
        locale = *langText;
    }
    SwitchSkinLanguage(locale.empty() ? L"en-US" : locale);
    LanguageId() = static_cast<std::uint16_t>(lcid);
    g_threadLanguage = lcid;
    (void)Utils::SetThreadLanguage(static_cast<std::uint16_t>(lcid));  // a refusal is logged there
    if (lcid == 1033) languageCode = L"en-US";
    else if (lcid == 1028) languageCode = L"zh-TW";
    return lcid;
}

int ThreadLanguageId() { return g_threadLanguage.load(); }

}  // namespace Skin
