#pragma once
// The language list of the main window: filled from "lang.xml", and a selection in it switches
// the skin's language.
//
// Thread: the user-interface thread only.
#include <cstdint>
#include <string>

#include "config/LocaleTable.h"

namespace Toolkit {
class CComboUI;
class CComboItemUI;
class CControlUI;
}  // namespace Toolkit

namespace Skin {

// Appends one item per "Lang" element of "lang.xml" (text shown; "lcid" and "lang" kept as
// custom attributes), selects the item whose lcid is LanguageId() as it goes, then selects
// item 1 when `userUiLanguage` is Traditional Chinese (1028, 3076, 5124) and item 0 otherwise.
// Each selection that changes the item raises "itemselect" like a user's choice. An unreadable
// "lang.xml" leaves the list empty.
void FillLanguageList(Toolkit::CComboUI* list, std::uint16_t userUiLanguage = UserDefaultUiLanguageId());

// Applies a selected item: switches the skin to the item's language (LCID through the locale
// table, else its "lang"; en-US when neither gives a locale), records the LCID as LanguageId()
// and as the thread's language, makes it the calling thread's locale and UI language where the
// system has such (Utils::SetThreadLanguage), and sets `languageCode` to "en-US" for 1033 or "zh-TW" for
// 1028 (other LCIDs leave it as it is). Returns the LCID applied.
int ApplyLanguageChoice(Toolkit::CControlUI* item, std::wstring& languageCode);

// The LCID last recorded as the thread locale and UI language (0 before any choice).
int ThreadLanguageId();

}  // namespace Skin
