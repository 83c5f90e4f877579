#pragma once
// A set of fonts, named styles and default attributes. Each window has its own set; the
// process-wide shared set (SharedResources()) holds what layouts and skin fragments marked
// shared="true", plus the image and layout alias tables the skin loader fills.
//
// Thread: the user-interface thread only.
#include <map>
#include <optional>
#include <string>

namespace Toolkit {

struct FontInfo {
    std::wstring face;       // may be a face the system lacks; the painter adds fallbacks
    int size = 14;           // pixels
    bool bold = false;
    bool underline = false;
    bool italic = false;
    bool operator==(const FontInfo&) const = default;
};

class ResourceSet {
public:
    // A font id defined again replaces the earlier definition.
    void AddFont(int id, const FontInfo& font, bool isDefault);
    const FontInfo* FindFont(int id) const;
    const FontInfo* DefaultFont() const;

    // Named style: an attribute list applied as if written on the control ("style" attribute).
    void AddStyle(const std::wstring& name, const std::wstring& attributes);
    const std::wstring* FindStyle(const std::wstring& name) const;

    // Default attributes per control class ("Button", ...; compared without case), applied
    // before the control's own attributes.
    void AddDefaultAttributes(const std::wstring& controlClass, const std::wstring& attributes);
    const std::wstring* FindDefaultAttributes(const std::wstring& controlClass) const;

    // Alias tables: an image id or layout id resolving to a path in the skin resources.
    void AddImageAlias(const std::wstring& id, const std::wstring& path);
    void AddLayoutAlias(const std::wstring& id, const std::wstring& path);
    const std::wstring* FindImageAlias(const std::wstring& id) const;
    const std::wstring* FindLayoutAlias(const std::wstring& id) const;

    bool Empty() const;

private:
    std::map<int, FontInfo> fonts_;
    std::optional<int> defaultFont_;
    std::map<std::wstring, std::wstring> styles_;
    std::map<std::wstring, std::wstring> defaults_;  // key: lower-case class name
    std::map<std::wstring, std::wstring> imageAliases_;
    std::map<std::wstring, std::wstring> layoutAliases_;
};

// The process-wide shared set.
ResourceSet& SharedResources();

// Maps a text id to its text in the language in use ("resourcetext" controls). Without a
// provider, or when it has no entry, the id itself is shown.
using TextProvider = std::wstring (*)(const std::wstring& id);
void SetTextProvider(TextProvider provider);
std::wstring LookupText(const std::wstring& id);

// The current language name (a locale such as "zh-TW"); it orders the CJK font fallbacks.
void SetCurrentLanguage(const std::wstring& locale);
const std::wstring& CurrentLanguage();

}  // namespace Toolkit
