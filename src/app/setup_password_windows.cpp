// Windows: the password file is trusted only when no one but SYSTEM and the administrators can
// have written or read it: a regular file of one name, not a reparse point, owned by SYSTEM,
// Administrators or the run's own account, whose access list gives no one else any right.
// Its facts are read through the handle that then reads it, so nothing is swapped in between.
#include "app/file_refusals.h"
#include "app/log_folder_rights.h"
#include "app/security_descriptor.h"
#include "app/setup_password.h"

#include "base/text.h"
#include "platform/owners.h"

#include <aclapi.h>

#include <string>

namespace {

// More than a line of 128 characters can take, with any encoding and line end.
constexpr DWORD kMaxFileBytes = 1024;

std::string Reason(DWORD error) { return "cannot be read (error " + std::to_string(error) + ")"; }

}  // namespace

void ReadPasswordFileBytes(const std::wstring& path, std::string& bytes, std::string& refusal) {
    const UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_READ | READ_CONTROL,
                                            FILE_SHARE_READ, /*lpSecurityAttributes=*/nullptr,
                                            OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT,
                                            /*hTemplateFile=*/nullptr));
    if (!file) {
        const DWORD error = GetLastError();
        refusal = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                      ? std::string(kRefusalDoesNotExist)
                      : Reason(error);
        return;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileInformationByHandle(file.get(), &info) == FALSE) {
        refusal = Reason(GetLastError());
        return;
    }
    PSID owner = nullptr;
    SecurityDescriptor descriptor;
    if (GetSecurityInfo(file.get(), SE_FILE_OBJECT,
                        OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                        /*ppsidGroup=*/nullptr, /*ppDacl=*/nullptr, /*ppSacl=*/nullptr,
                        descriptor.put()) != ERROR_SUCCESS) {
        owner = nullptr;
    }
    const RunAccount account;
    refusal =
        PasswordFileRefusal(info.dwFileAttributes, info.nNumberOfLinks,
                            owner != nullptr && IsTrustedOwner(owner, account.get()),
                            DescriptorGivesOthers(descriptor.get(), account.get(), kAnyRights));
    if (!refusal.empty()) return;
    if (info.nFileSizeHigh != 0 || info.nFileSizeLow > kMaxFileBytes) {
        refusal = kRefusalTooLargeForAPassword;
        return;
    }
    char buffer[kMaxFileBytes + 1];
    DWORD got = 0;
    if (ReadFile(file.get(), buffer, sizeof buffer, &got, /*lpOverlapped=*/nullptr) == FALSE) {
        refusal = Reason(GetLastError());
    } else if (got > kMaxFileBytes) {
        refusal = kRefusalTooLargeForAPassword;
    } else {
        bytes.assign(buffer, got);
    }
    WipeBytes(buffer, sizeof buffer);
}

// systemd's credentials are Linux's alone.
std::wstring PasswordCredentialFile() { return {}; }
