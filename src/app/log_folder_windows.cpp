#include "app/log_folder.h"

#include "app/log_folder_rights.h"
#include "app/security_descriptor.h"
#include "base/text.h"

#include <vector>

namespace {

std::string Refuse(const std::wstring& path, const char* why) {
    return "No run log: " + ToUtf8(path) + " " + why;
}

}  // namespace

std::string LogFolderRefusal(const std::wstring& folder, DWORD attributes, PSID owner,
                             PSID runAccount, bool opened, bool othersMayWrite) {
    if (!opened) return Refuse(folder, "cannot be checked");
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return Refuse(folder, "is a link");
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return Refuse(folder, "is not a folder");
    if (!IsTrustedOwner(owner, runAccount)) {
        return Refuse(folder, "is not owned by SYSTEM, Administrators or this account");
    }
    if (othersMayWrite) {
        return Refuse(folder, "lets users other than SYSTEM and Administrators write into it");
    }
    return {};
}

bool FolderLetsOthersWrite(PSECURITY_DESCRIPTOR descriptor, PSID runAccount) {
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    if (descriptor == nullptr ||
        GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) == FALSE) {
        return true;
    }
    if (present == FALSE || dacl == nullptr) return LetsOthersWrite(/*hasAccessList=*/false, {});
    std::vector<FolderAccessEntry> entries;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (GetAce(dacl, i, &ace) == FALSE) return true;
        const BYTE type = static_cast<const ACE_HEADER*>(ace)->AceType;
        if (type == ACCESS_DENIED_ACE_TYPE || type == ACCESS_DENIED_OBJECT_ACE_TYPE ||
            type == ACCESS_DENIED_CALLBACK_ACE_TYPE ||
            type == ACCESS_DENIED_CALLBACK_OBJECT_ACE_TYPE) {
            continue;  // only takes rights away
        }
        if (type != ACCESS_ALLOWED_ACE_TYPE) {
            // An allow entry of another shape (object, callback): as if for anyone, with every
            // right.
            entries.push_back({.allows = true, .trusted = false, .mask = 0xFFFFFFFFu});
            continue;
        }
        auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
        PSID sid = &allowed->SidStart;
        const bool trusted =
            IsTrustedOwner(sid, runAccount) || IsWellKnownSid(sid, WinCreatorOwnerSid) != FALSE;
        entries.push_back({.allows = true, .trusted = trusted, .mask = allowed->Mask});
    }
    return LetsOthersWrite(/*hasAccessList=*/true, entries);
}

std::string LogFileRefusal(const std::wstring& file, DWORD attributes, DWORD links,
                           bool ownerTrusted) {
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return Refuse(file, "is a link");
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return Refuse(file, "is not a regular file");
    if (links > 1) return Refuse(file, "has more than one name (a hard link)");
    if (!ownerTrusted)
        return Refuse(file, "is not owned by SYSTEM, Administrators or this account");
    return {};
}
