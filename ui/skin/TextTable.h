#pragma once
// The texts of the language in use, by text id. Every text file a language switch loads adds
// or replaces entries; the table is never cleared, so an id the chosen language lacks keeps
// the value of the layer loaded before it (the "Default" folder).
//
// Thread: the user-interface thread writes (language loading). Reads may come from any
// thread: the package runner's worker reads its failure text while the window runs.
#include <map>
#include <shared_mutex>
#include <string>

namespace Skin {

class TextTable {
public:
    static TextTable& Instance();

    void Set(const std::wstring& id, const std::wstring& value);
    // The text of `id`, or `id` itself when the table has no entry for it.
    std::wstring Lookup(const std::wstring& id) const;
    bool Contains(const std::wstring& id) const;
    std::size_t Size() const;
    // Empties the table. Only tools and tests that load one skin after another use it; the
    // installer keeps every layer it loaded.
    void Clear();

private:
    mutable std::shared_mutex mutex_;
    std::map<std::wstring, std::wstring> texts_;
};

// TextTable lookup; a null id yields an empty text.
std::wstring GetText(const wchar_t* id);
std::wstring GetText(const std::wstring& id);

}  // namespace Skin
