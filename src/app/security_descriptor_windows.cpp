#include "app/security_descriptor.h"

#include "app/log_folder_rights.h"

#include <sddl.h>

namespace {

// SDDL: FA is full control, FR|FX read and list (for folders: list and traverse); OICI passes
// an entry on to files and folders made inside.
constexpr const wchar_t* kAdministratorsOnly = L"D:P(A;;GA;;;SY)(A;;GA;;;BA)";
constexpr const wchar_t* kLogFolder = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FRFX;;;BU)";

SecurityDescriptor FromSddl(const wchar_t* text) {
    SecurityDescriptor descriptor;
    if (ConvertStringSecurityDescriptorToSecurityDescriptorW(
            text, SDDL_REVISION_1, descriptor.put(),
            /*SecurityDescriptorSize=*/nullptr) == FALSE) {
        return {};
    }
    return descriptor;
}

}  // namespace

bool Sid::Create(WELL_KNOWN_SID_TYPE type) {
    DWORD size = sizeof bytes_;
    valid_ = CreateWellKnownSid(type, /*DomainSid=*/nullptr, bytes_, &size) != FALSE;
    return valid_;
}

Sid WellKnownSid(WELL_KNOWN_SID_TYPE type) {
    Sid sid;
    sid.Create(type);
    return sid;
}

SecurityDescriptor AdministratorsOnlyDescriptor() { return FromSddl(kAdministratorsOnly); }

SecurityDescriptor LogFolderDescriptor() { return FromSddl(kLogFolder); }

bool IsTrustedOwner(PSID owner, PSID runAccount) {
    if (owner == nullptr || IsValidSid(owner) == FALSE) return false;
    return IsWellKnownSid(owner, WinLocalSystemSid) != FALSE ||
           IsWellKnownSid(owner, WinBuiltinAdministratorsSid) != FALSE ||
           (runAccount != nullptr && IsValidSid(runAccount) != FALSE &&
            EqualSid(owner, runAccount) != FALSE);
}

RunAccount::RunAccount() {
    UniqueHandle token;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put()) == FALSE) return;
    DWORD size = 0;
    GetTokenInformation(token.get(), ::TokenUser, nullptr, 0, &size);
    if (size < sizeof(TOKEN_USER)) return;
    bytes_.resize(size);
    if (GetTokenInformation(token.get(), ::TokenUser, bytes_.data(), size, &size) == FALSE) {
        bytes_.clear();
    }
}

PSID RunAccount::get() const {
    if (bytes_.empty()) return nullptr;
    return reinterpret_cast<const TOKEN_USER*>(bytes_.data())->User.Sid;
}

bool TokenIsAdministrator() noexcept {
    for (const WELL_KNOWN_SID_TYPE type : {WinLocalSystemSid, WinBuiltinAdministratorsSid}) {
        Sid sid = WellKnownSid(type);
        BOOL member = FALSE;
        if (sid && CheckTokenMembership(/*TokenHandle=*/nullptr, sid.get(), &member) != FALSE &&
            member != FALSE) {
            return true;
        }
    }
    return false;
}

bool DescriptorGivesOthers(PSECURITY_DESCRIPTOR descriptor, PSID runAccount, std::uint32_t rights) {
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    if (descriptor == nullptr ||
        GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) == FALSE) {
        return true;
    }
    if (present == FALSE || dacl == nullptr)
        return GivesOthers(/*hasAccessList=*/false, {}, rights);
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
    return GivesOthers(/*hasAccessList=*/true, entries, rights);
}
