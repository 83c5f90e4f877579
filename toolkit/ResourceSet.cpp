#include "toolkit/ResourceSet.h"

#include "utils/StringUtils.h"

namespace Toolkit {

void ResourceSet::AddFont(int id, const FontInfo& font, bool isDefault) {
    fonts_[id] = font;
    if (isDefault) defaultFont_ = id;
}

const FontInfo* ResourceSet::FindFont(int id) const {
    auto it = fonts_.find(id);
    return it == fonts_.end() ? nullptr : &it->second;
}

const FontInfo* ResourceSet::DefaultFont() const { return defaultFont_ ? FindFont(*defaultFont_) : nullptr; }

void ResourceSet::AddStyle(const std::wstring& name, const std::wstring& attributes) { styles_[name] = attributes; }

const std::wstring* ResourceSet::FindStyle(const std::wstring& name) const {
    auto it = styles_.find(name);
    return it == styles_.end() ? nullptr : &it->second;
}

void ResourceSet::AddDefaultAttributes(const std::wstring& controlClass, const std::wstring& attributes) {
    defaults_[Utils::AsciiLower(controlClass)] = attributes;
}

const std::wstring* ResourceSet::FindDefaultAttributes(const std::wstring& controlClass) const {
    auto it = defaults_.find(Utils::AsciiLower(controlClass));
    return it == defaults_.end() ? nullptr : &it->second;
}

void ResourceSet::AddImageAlias(const std::wstring& id, const std::wstring& path) { imageAliases_[id] = path; }
void ResourceSet::AddLayoutAlias(const std::wstring& id, const std::wstring& path) { layoutAliases_[id] = path; }

const std::wstring* ResourceSet::FindImageAlias(const std::wstring& id) const {
    auto it = imageAliases_.find(id);
    return it == imageAliases_.end() ? nullptr : &it->second;
}

const std::wstring* ResourceSet::FindLayoutAlias(const std::wstring& id) const {
    auto it = layoutAliases_.find(id);
    return it == layoutAliases_.end() ? nullptr : &it->second;
}

bool ResourceSet::Empty() const {
    return fonts_.empty() && styles_.empty() && defaults_.empty() && imageAliases_.empty() && layoutAliases_.empty();
}

ResourceSet& SharedResources() {
    static ResourceSet set;
    return set;
}

namespace {
TextProvider g_textProvider = nullptr;
std::wstring& LanguageName() {
    static std::wstring name = L"en-US";
    return name;
}
}  // namespace

void SetTextProvider(TextProvider provider) { g_textProvider = provider; }

std::wstring LookupText(const std::wstring& id) { return g_textProvider ? g_textProvider(id) : id; }

void SetCurrentLanguage(const std::wstring& locale) { LanguageName() = locale; }
const std::wstring& CurrentLanguage() { return LanguageName(); }

}  // namespace Toolkit
