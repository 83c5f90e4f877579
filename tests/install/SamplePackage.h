#pragma once
// The project's sample package, copied where a download would have put it.
#include <filesystem>
#include <string>

#include "config/InstallerSettings.h"
#include "utils/StringUtils.h"

namespace installtest {

// Copies the sample package to `target` without any execute bit, as a fresh download is.
inline std::filesystem::path PlacePackage(const std::filesystem::path& target) {
    std::filesystem::create_directories(target.parent_path());
    std::filesystem::copy_file(SAMPLE_PACKAGE, target, std::filesystem::copy_options::overwrite_existing);
    std::filesystem::permissions(target, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    return target;
}

inline std::wstring W(const std::filesystem::path& p) { return Utils::FromUtf8(p.string()); }
inline std::wstring Quoted(const std::filesystem::path& p) { return L"\"" + W(p) + L"\""; }

// Sets the extra package switches for the runs that follow (read by the runner's Run()).
inline void SetInstCmd(const std::wstring& switches) { InstallerSettings::Instance().InstCmd = switches; }

}  // namespace installtest
