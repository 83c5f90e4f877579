#include "utils/ProfileUpdate.h"

#include "utils/Log.h"
#include "utils/ProfileUpdatePlatform.h"

namespace Utils {
namespace {

constexpr int kMaxLinks = 40;  // as the Linux kernel's own limit for path resolution

}  // namespace

std::optional<std::filesystem::path> ResolveProfileTarget(const std::filesystem::path& file) {
    using detail::ProfilePathKind;
    std::filesystem::path current = file;
    for (int hops = 0; hops <= kMaxLinks; ++hops) {
        switch (detail::ExamineProfilePath(current, hops > 0)) {
        case ProfilePathKind::Target:
            return current;
        case ProfilePathKind::Unusable:
            return std::nullopt;
        case ProfilePathKind::TargetOfAnotherUser:
            QLOG(L"profile write refused: %S belongs to another user\r\n", current.c_str());
            return std::nullopt;
        case ProfilePathKind::LinkOfAnotherUser:
            QLOG(L"profile write refused: link %S belongs to another user\r\n", current.c_str());
            return std::nullopt;
        case ProfilePathKind::Link:
            break;
        }
        std::error_code ec;
        const std::filesystem::path next = std::filesystem::read_symlink(current, ec);
        if (ec) return std::nullopt;
        current = next.is_absolute() ? next : current.parent_path() / next;
    }
    return std::nullopt;
}

}  // namespace Utils
