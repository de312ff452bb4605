#include "app/security_descriptor.h"

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
