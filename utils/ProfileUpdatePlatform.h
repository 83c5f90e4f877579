#pragma once
// Internal to ProfileUpdate: the system's look at one step of a profile path's link chain
// (ProfileUpdate_posix.cpp / ProfileUpdate_win32.cpp). Following the chain is the same on every
// system (ProfileUpdate.cpp).
#include <filesystem>

namespace Utils::detail {

enum class ProfilePathKind {
    Target,               // a file, a folder or nothing: the chain ends here
    Link,                 // a link the writer may follow
    Unusable,             // cannot be examined
    TargetOfAnotherUser,  // reached through a link, and another user's (POSIX)
    LinkOfAnotherUser,    // another user's link (POSIX)
};

// Examines `path` without following a link there. `throughLink`: `path` was named by a link.
ProfilePathKind ExamineProfilePath(const std::filesystem::path& path, bool throughLink);

}  // namespace Utils::detail
