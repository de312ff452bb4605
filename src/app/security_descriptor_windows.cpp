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

bool IsTrustedOwner(PSID owner) {
    return owner != nullptr && IsValidSid(owner) != FALSE &&
           (IsWellKnownSid(owner, WinLocalSystemSid) != FALSE ||
            IsWellKnownSid(owner, WinBuiltinAdministratorsSid) != FALSE);
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
