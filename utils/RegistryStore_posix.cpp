#include "utils/RegistryStore.h"

#include "utils/Folders.h"
#include "utils/ProfileFile.h"
#include "utils/ProfileUpdate.h"
#include "utils/SpecialFolders.h"

namespace Utils {
namespace {

std::filesystem::path StorePath() { return ConfigHome() / "VarNelSoft" / "registry.ini"; }

}  // namespace

bool RegistryStore::Read(const std::wstring& keyPath, const std::wstring& valueName, std::wstring& value) {
    const auto stored = ProfileFile::Load(StorePath()).Get(keyPath, valueName);
    if (!stored) return false;
    value = stored->substr(0, stored->find(L'\0'));
    return true;
}

bool RegistryStore::Write(const std::wstring& keyPath, const std::wstring& valueName, const std::wstring& value) {
    if (value.find_first_of(L"\r\n") != std::wstring::npos) return false;
    const auto path = StorePath();
    if (!CreateFolders(path.parent_path())) return false;
    // The store may hold paths of the user's software: a new one is private to the user.
    const std::wstring quoted = L"\"" + value + L"\"";
    return UpdateProfileFile(path, [&](ProfileFile& p) { return p.Set(keyPath, valueName, quoted); }, 0600);
}

bool ReadRegString(const std::wstring& valueName, std::wstring& value) {
    return RegistryStore::Read(kProductRegistryKey, valueName, value);
}

bool WriteRegString(const std::wstring& valueName, const std::wstring& value) {
    return RegistryStore::Write(kProductRegistryKey, valueName, value);
}

}  // namespace Utils
