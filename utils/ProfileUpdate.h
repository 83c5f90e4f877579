#pragma once
// Safe read-modify-write of a profile file shared with other processes (a package writes
// "set.ini" while the installer does; two installers write the registry store).
//
// A path that is a symbolic link is written through to its final target, atomically beside
// that target, unless a link on the way or the target belongs to another user: then the
// write is refused. The whole read, change and rename runs under an exclusive advisory lock
// (flock) on the target file itself; a writer that waited on a file that meanwhile was
// replaced by a rename starts again on the new one, so no writer's keys are lost.
#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>

namespace Utils {

class ProfileFile;

// How long a writer waits for another writer's lock before it gives up (the lock needs only
// read access, so a hostile reader must not be able to hang the installer).
inline constexpr std::chrono::milliseconds kProfileLockTimeout{10000};

// The file a write of `file` must replace: `file` itself, or the final target of the links
// it names. Nothing when a link or the target belongs to another user, or a link chain is
// too long.
std::optional<std::filesystem::path> ResolveProfileTarget(const std::filesystem::path& file);

// Reads the file (a missing one is empty and is created with `newFileMode`, whatever the
// umask), lets `change` edit it, and saves it, all under the file's lock. False when the path
// is refused (above), is not a regular file, cannot be read, the lock is not had within
// kProfileLockTimeout, `change` returns false (nothing is written then), or saving fails.
bool UpdateProfileFile(const std::filesystem::path& file, const std::function<bool(ProfileFile&)>& change,
                       unsigned newFileMode = 0644);

}  // namespace Utils
