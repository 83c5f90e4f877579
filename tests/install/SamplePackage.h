#pragma once
// The project's sample package, copied where a download would have put it.
#include <filesystem>
#include <string>

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

// The extra package switches and downloader type the test's next runners and orchestrators
// get (each test hands them in through SetInstCmd / SetStageOptions).
struct StageOptions {
    std::wstring instCmd;
    int downloadType = 1;
};
inline StageOptions& Options() {
    static StageOptions options;
    return options;
}
inline void SetInstCmd(const std::wstring& switches) { Options().instCmd = switches; }

}  // namespace installtest
