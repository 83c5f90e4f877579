#include "analytics/tracker/source/src/TrackerState.h"

#include <filesystem>
#include <initializer_list>
#include <optional>
#include <utility>

#include "analytics/core/Rules.h"
#include "analytics/tracker/source/src/TrackerPathText.h"
#include "utils/Log.h"
#include "utils/ProfileFile.h"
#include "utils/ProfileUpdate.h"
#include "utils/StringUtils.h"

namespace varnel::tracking {
namespace {

constexpr wchar_t kBase[] = L"Base";
constexpr wchar_t kUninstallInfo[] = L"UninstallInfo";
constexpr unsigned kPrivateFileMode = 0600;

std::string ReadValue(const wchar_t* key, const std::filesystem::path& file) {
    return Utils::ToUtf8(Utils::GetProfileString(kBase, key, L"", TrackerState::kMaxValueChars + 1, file));
}

bool UsableId(const std::string& id) {
    return !id.empty() && id.size() <= collect::rules::kMaxIdentifierBytes && collect::rules::IsValidUtf8(id);
}

bool WriteSection(const std::filesystem::path& file, const wchar_t* section,
                  std::initializer_list<std::pair<const wchar_t*, std::string>> values) {
    return Utils::UpdateProfileFile(
        file,
        [&](Utils::ProfileFile& profile) {
            for (const auto& [key, value] : values)
                if (!profile.Set(section, key, Utils::FromUtf8(value))) return false;
            return true;
        },
        kPrivateFileMode);
}

}  // namespace

void TrackerState::load() {
    userId.clear();
    distinctId.clear();
    storedUrl.clear();
    loggedIn = false;
    const std::filesystem::path file = TextPath(configFilePath);
    std::error_code ec;
    if (configFilePath.empty() || !std::filesystem::exists(file, ec)) return;
    distinctId = ReadValue(L"DistinctId", file);
    userId = ReadValue(L"UserId", file);
    vipLevel = Utils::GetProfileInt(kBase, L"UserVipLevel", 0, file);
    storedUrl = ReadValue(L"URL", file);
    loggedIn = ReadValue(L"isLogined", file) == "OK";
    if (!UsableId(distinctId)) distinctId.clear();
    if (!UsableId(userId)) userId.clear();
}

bool TrackerState::save() const {
    const bool ok = WriteSection(TextPath(configFilePath), kBase,
                                 {{L"DistinctId", distinctId},
                                  {L"UserId", userId},
                                  {L"UserVipLevel", std::to_string(vipLevel)},
                                  {L"URL", storedUrl},
                                  {L"isLogined", loggedIn ? "OK" : "NG"}});
    if (!ok) QLOG(L"tracker state not saved to %S\r\n", configFilePath.c_str());
    return ok;
}

bool TrackerState::saveUninstallInfo(const std::string& appStore, const std::string& appName,
                                     const std::string& appVersion) const {
    const bool ok = WriteSection(TextPath(configFilePath), kUninstallInfo,
                                 {{L"AppStore", appStore}, {L"AppName", appName}, {L"AppVersion", appVersion}});
    if (!ok) QLOG(L"tracker uninstall info not saved to %S\r\n", configFilePath.c_str());
    return ok;
}

}  // namespace varnel::tracking
