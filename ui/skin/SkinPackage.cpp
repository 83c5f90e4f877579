#include "ui/skin/SkinPackage.h"

#include <pugixml.hpp>

#include <cstdlib>
#include <string_view>

#include "config/LocaleTable.h"
#include "install/InstallTexts.h"
#include "toolkit/LayoutBuilder.h"
#include "toolkit/ResourceSet.h"
#include "toolkit/SkinResources.h"
#include "toolkit/WindowBase.h"
#include "ui/skin/EmbeddedResources.h"
#include "ui/skin/TextTable.h"
#include "utils/Log.h"
#include "utils/StringUtils.h"

namespace Skin {

namespace {

// Paths inside the package are limited like the Windows paths they once were.
constexpr std::size_t kMaxPath = 260;

// Skin files hold a raw "<" inside attribute values and may start with blanks before the
// declaration; pugixml's default mode takes both.
constexpr unsigned kParseFlags = pugi::parse_default;

std::wstring Attr(const pugi::xml_node& node, const char* name) {
    // Names without case; the last occurrence wins.
    std::wstring value;
    for (pugi::xml_attribute a : node.attributes())
        if (Utils::EqualsNoCase(Utils::FromUtf8(a.name()), Utils::FromUtf8(name)))
            value = Utils::FromUtf8(a.value());
    return value;
}

bool HasAttr(const pugi::xml_node& node, const char* name) {
    for (pugi::xml_attribute a : node.attributes())
        if (Utils::EqualsNoCase(Utils::FromUtf8(a.name()), Utils::FromUtf8(name))) return true;
    return false;
}

bool IsElement(const pugi::xml_node& node, const wchar_t* name) {
    return node.type() == pugi::node_element && Utils::EqualsNoCase(Utils::FromUtf8(node.name()), name);
}

bool ReadSkinFile(const std::wstring& path, std::string& bytes) {
    return Toolkit::SkinResources::Instance().Read(path, bytes);
}

// "text"/"tres": every Text element with both "id" and "value" (an empty value counts).
void LoadTextFile(const std::wstring& path) {
    std::string xml;
    if (!ReadSkinFile(path, xml)) return;
    pugi::xml_document doc;
    if (!doc.load_buffer(xml.data(), xml.size(), kParseFlags)) {
        QLOG(L"cannot parse text file %s\r\n", path.c_str());
        return;
    }
    TextTable& table = TextTable::Instance();
    for (pugi::xml_node n : doc.document_element().children()) {
        if (!IsElement(n, L"Text") || !HasAttr(n, "id") || !HasAttr(n, "value")) continue;
        table.Set(Attr(n, "id"), Attr(n, "value"));
    }
}

// "ui"/"image"/"rres": image ids and layout ids for the toolkit's alias tables.
void LoadAliasFile(const std::wstring& path) {
    std::string xml;
    if (!ReadSkinFile(path, xml)) return;
    pugi::xml_document doc;
    if (!doc.load_buffer(xml.data(), xml.size(), kParseFlags)) return;
    Toolkit::ResourceSet& shared = Toolkit::SharedResources();
    for (pugi::xml_node n : doc.document_element().children()) {
        if (!HasAttr(n, "id") || !HasAttr(n, "path")) continue;
        if (IsElement(n, L"Image")) shared.AddImageAlias(Attr(n, "id"), Attr(n, "path"));
        else if (IsElement(n, L"Xml")) shared.AddLayoutAlias(Attr(n, "id"), Attr(n, "path"));
    }
}

// "font"/"style"/"default"/"include"/"mres": a fragment whose shared elements stay.
void LoadFragment(const std::wstring& path) {
    std::string xml;
    if (!ReadSkinFile(path, xml)) return;
    Toolkit::LayoutMessage error;
    if (!Toolkit::CLayoutBuilder::LoadSharedFragment(xml, &error))
        QLOG(L"cannot load %S\r\n", error.Format(Utils::ToUtf8(path)).c_str());
}

void ApplyResource(const std::wstring& type, const std::wstring& fullPath) {
    const std::wstring t = Utils::AsciiLower(type);
    if (t == L"text" || t == L"tres") LoadTextFile(fullPath);
    else if (t == L"ui" || t == L"image" || t == L"rres") LoadAliasFile(fullPath);
    else if (t == L"font" || t == L"style" || t == L"default" || t == L"include" || t == L"mres") LoadFragment(fullPath);
    else if (t == L"plugin") QLOG(L"control plug-ins are not supported on this platform: %s\r\n", fullPath.c_str());
    // "dll" forms its path and uses it for nothing; any other type is ignored.
}

std::wstring FolderOf(const std::wstring& path) {
    const std::size_t cut = path.find_last_of(L"\\/");
    return cut == std::wstring::npos ? std::wstring() : path.substr(0, cut);
}

std::wstring TextLookupForToolkit(const std::wstring& id) { return TextTable::Instance().Lookup(id); }

}  // namespace

void WireTextLookups() {
    Toolkit::SetTextProvider(&TextLookupForToolkit);
    InstallTexts::SetTextLookup(&TextLookupForToolkit);
}

bool LoadResourceList(const std::wstring& path) {
    std::string xml;
    std::wstring folder;
    if (!path.empty() && path[0] == L'<') {
        xml = Utils::ToUtf8(path);
    } else {
        if (!ReadSkinFile(path, xml)) return false;
        folder = FolderOf(path);
    }
    pugi::xml_document doc;
    if (!doc.load_buffer(xml.data(), xml.size(), kParseFlags)) return false;
    const pugi::xml_node root = doc.document_element();
    if (!root) return false;
    for (pugi::xml_node n : root.children()) {
        if (!IsElement(n, L"Resource") || !n.first_attribute()) continue;
        if (!HasAttr(n, "type") || !HasAttr(n, "source")) continue;
        std::wstring full = folder + L"\\" + Attr(n, "source");
        if (full.size() > kMaxPath) full.resize(kMaxPath);
        ApplyResource(Attr(n, "type"), full);
    }
    return true;
}

bool SwitchSkinLanguage(const std::wstring& locale) {
    LoadResourceList(L"lang\\Default\\index.xml");
    const bool ok = LoadResourceList(L"lang\\" + locale + L"\\index.xml");
    Toolkit::SetCurrentLanguage(locale);
    // Every open window reloads its images, lays out its new texts and repaints, newest first.
    Toolkit::CWindowBase::RefreshAllWindows();
    return ok;
}

bool OpenSkinFolder(const std::string& folder) {
    std::string error;
    if (!Toolkit::SkinResources::Instance().OpenFolder(folder, &error)) {
        QLOG(L"cannot open skin folder %S: %S\r\n", folder.c_str(), error.c_str());
        return false;
    }
    return true;
}

void OpenSkinPackage() {
    WireTextLookups();
    const char* dir = std::getenv("QV_SKIN_DIR");
    if (dir && *dir) {
        OpenSkinFolder(dir);
    } else {
        const std::span<const std::uint8_t> zip = FindEmbeddedResource("ZIPRES", "IDR_SKIN");
        std::string error;
        if (!zip.empty() && !Toolkit::SkinResources::Instance().OpenZip(zip.data(), zip.size(), &error))
            QLOG(L"skin package unreadable: %S\r\n", error.c_str());
    }
    LanguageId() = 1033;
    SwitchSkinLanguage(L"en-US");
}

}  // namespace Skin
