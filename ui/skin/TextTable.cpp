#include "ui/skin/TextTable.h"

#include <mutex>

namespace Skin {

TextTable& TextTable::Instance() {
    static TextTable table;
    return table;
}

void TextTable::Set(const std::wstring& id, const std::wstring& value) {
    std::unique_lock lock(mutex_);
    texts_[id] = value;
}

std::wstring TextTable::Lookup(const std::wstring& id) const {
    std::shared_lock lock(mutex_);
    const auto it = texts_.find(id);
    return it == texts_.end() ? id : it->second;
}

bool TextTable::Contains(const std::wstring& id) const {
    std::shared_lock lock(mutex_);
    return texts_.count(id) != 0;
}

std::size_t TextTable::Size() const {
    std::shared_lock lock(mutex_);
    return texts_.size();
}

void TextTable::Clear() {
    std::unique_lock lock(mutex_);
    texts_.clear();
}

std::wstring GetText(const wchar_t* id) { return id ? TextTable::Instance().Lookup(id) : std::wstring(); }

std::wstring GetText(const std::wstring& id) { return TextTable::Instance().Lookup(id); }

}  // namespace Skin
