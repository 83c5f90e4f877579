#pragma once
// File operations of the install chain, on wide paths. Paths are built with the system's
// separator ("/" on Linux, "\" on Windows, where "/" is read as one too).
#include <string>

namespace InstallFiles {

// `folder` and `name` joined with one separator (none added when the folder already ends in
// one or is empty).
std::wstring JoinPath(const std::wstring& folder, const std::wstring& name);
// The folder part of a path ("" when the path names no folder).
std::wstring ParentFolder(const std::wstring& path);
// A path without one pair of surrounding double quotes.
std::wstring Unquote(const std::wstring& path);
// The folder without trailing separators (a root, "/" or "C:\", stays as it is).
std::wstring WithoutTrailingSeparator(std::wstring folder);

// A regular file (links followed).
bool FileExists(const std::wstring& path);
// Removes a file; true when it is gone afterwards.
bool DeleteFileIfExists(const std::wstring& path);
// Makes the file the owner's alone: the owner may run it, nobody else may touch it (mode 0700;
// on Windows a protected DACL for this user, SYSTEM and the Administrators). Programs we run
// (a downloaded package, a copied uninstaller) get exactly this before they start.
bool MakeOwnerExecutable(const std::wstring& path);
enum class CopyOutcome {
    kCopied,
    kSourceRefused,  // missing, a link, not a regular file, or another user's (not root's)
    kTargetFailed,   // the target's folder did not take the copy (missing, full, not ours)
};
// Copies `from` over `to` through a new file in the target's folder renamed into place, so
// that a running program of that name is replaced rather than rewritten, and makes the copy
// the owner's alone (as MakeOwnerExecutable). The source is read without following a link and
// must belong to this user or to the system (root; SYSTEM, Administrators, TrustedInstaller).
// On any failure `to` does not exist afterwards: a stale earlier copy never passes for a fresh
// one.
CopyOutcome CopyFileReplacing(const std::wstring& from, const std::wstring& to);

}  // namespace InstallFiles
