// A writer process for the profile tests: qv_profile_writer FILE NAME COUNT writes the keys
// NAME_0 .. NAME_<COUNT-1> into section "s" of FILE, each on its own, alternating the system's
// call and the module's multi-key update. Exits 0 when every write succeeded.
#include <string>
#include <vector>

#include "utils/PathText.h"
#include "utils/ProcessArguments.h"
#include "utils/ProfileFile.h"
#include "utils/ProfileUpdate.h"

int main() {
    const std::vector<std::wstring> args = Utils::ProcessArguments();
    if (args.size() != 4) return 2;
    const std::filesystem::path file = Utils::PathFromWide(args[1]);
    const std::wstring& name = args[2];
    const int count = std::stoi(args[3]);
    bool ok = true;
    for (int i = 0; i < count; ++i) {
        const std::wstring key = name + L"_" + std::to_wstring(i);
        if (i % 2 == 0) {
            ok = Utils::WriteProfileString(L"s", key, L"v", file) && ok;
        } else {
            ok = Utils::UpdateProfileFile(file, [&](Utils::ProfileFile& p) { return p.Set(L"s", key, L"v"); }) && ok;
        }
    }
    return ok ? 0 : 1;
}
