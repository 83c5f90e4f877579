#pragma once
// How the folder check judges one folder's owner and DACL: whether someone other than the
// trusted accounts could change what the install folder holds, depending on where the folder
// stands on the way to it. Header-only, so that tests can judge descriptors written as SDDL
// text as well as the folder check judges real folders.
#include <string>
#include <vector>

#include "install/WinSupport_win32.h"

namespace FolderAccess {

// What a folder on the way to the install folder is to the install.
enum class Role {
    kTarget,           // the install folder itself, existing
    kNearestAncestor,  // the nearest existing folder above a missing install folder: the
                       // folders made below it take over what it passes on to subfolders
    kAncestor,         // any folder further up
};

// Rights that let their holder put files in or under a folder, or take it over.
inline constexpr ACCESS_MASK kWriteRights =
    FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER;
// Rights that let their holder replace what lies below a folder (or the folder itself). Adding
// new entries (FILE_ADD_SUBDIRECTORY) is not among them: like the sticky bit on Linux, it lets
// everyone add to "C:\" without touching what is there.
inline constexpr ACCESS_MASK kReplaceRights = FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER;

// The system's accounts, and `user` when it is not empty.
inline bool Trusted(PSID sid, const std::vector<BYTE>& user) {
    return InstallWin::IsSameSid(sid, user) || InstallWin::IsSystemAccount(sid);
}

// CREATOR OWNER stands for whoever creates a folder below (this installer); OWNER RIGHTS for
// the owner, which is judged on its own.
inline bool StandsForTheOwner(PSID sid) {
    return InstallWin::IsWellKnown(sid, WinCreatorOwnerSid) || InstallWin::IsWellKnown(sid, WinCreatorOwnerRightsSid);
}

// Whether an ACE allows someone untrusted a right that matters for the folder's role. Denying
// entries are passed over: an allowing entry counts even where a denial might cover it.
inline bool AceLetsOthersIn(const ACE_HEADER* header, Role role, const std::vector<BYTE>& user) {
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE && header->AceType != ACCESS_ALLOWED_CALLBACK_ACE_TYPE) return false;
    // Both kinds start with the same header, mask and SID.
    const auto* ace = reinterpret_cast<const ACCESS_ALLOWED_ACE*>(header);
    const PSID sid = const_cast<DWORD*>(&ace->SidStart);
    if (Trusted(sid, user) || StandsForTheOwner(sid)) return false;
    ACCESS_MASK mask = ace->Mask;
    GENERIC_MAPPING mapping = {FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE, FILE_ALL_ACCESS};
    ::MapGenericMask(&mask, &mapping);
    const ACCESS_MASK own = (header->AceFlags & INHERIT_ONLY_ACE) ? 0 : mask;
    const ACCESS_MASK toFolders = (header->AceFlags & CONTAINER_INHERIT_ACE) ? mask : 0;
    const ACCESS_MASK toFiles = (header->AceFlags & OBJECT_INHERIT_ACE) ? mask : 0;
    switch (role) {
        case Role::kTarget:
            return ((own | toFolders | toFiles) & kWriteRights) != 0;
        case Role::kNearestAncestor:
            return (own & kReplaceRights) != 0 || (toFolders & kWriteRights) != 0;
        case Role::kAncestor:
            return (own & kReplaceRights) != 0;
    }
    return true;
}

// "" when a folder with this owner and DACL is safe in its role, else the cause in words.
inline std::wstring Judge(PSID owner, PACL dacl, Role role, const std::vector<BYTE>& user) {
    if (!owner || !Trusted(owner, user)) return L"owned by another user";
    if (!dacl) return L"open to everyone (no access list)";
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!::GetAce(dacl, i, &ace)) return L"unreadable access list";
        if (AceLetsOthersIn(static_cast<const ACE_HEADER*>(ace), role, user)) return L"writable by other users";
    }
    return {};
}

}  // namespace FolderAccess
