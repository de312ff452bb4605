#include "platform/posix/token.h"

#include "platform/machine_root.h"
#include "platform/posix/kernel.h"

#include <unistd.h>

#include <atomic>
#include <memory>
#include <string_view>

namespace {

// The LUID Windows gives SeSystemEnvironmentPrivilege.
constexpr DWORD kSystemEnvironmentLuid = 22;

std::atomic<bool> systemEnvironmentEnabled{false};

class Token : public posix::KernelObject {
  public:
    explicit Token(DWORD access) : access_(access) {}
    DWORD access() const { return access_; }

  private:
    DWORD access_;
};

// The process holds the privilege when it may write firmware variables at all.
bool ProcessHoldsSystemEnvironment() {
    if (geteuid() == 0) return true;
    const auto efivars = platform::PathUnderMachineRoot("sys/firmware/efi/efivars");
    return access(efivars.c_str(), W_OK) == 0;
}

bool IsSystemEnvironmentLuid(const LUID& luid) {
    return luid.LowPart == kSystemEnvironmentLuid && luid.HighPart == 0;
}

}  // namespace

extern "C" {

BOOL WINAPI OpenThreadToken(HANDLE ThreadHandle, DWORD /*DesiredAccess*/, BOOL /*OpenAsSelf*/,
                            PHANDLE TokenHandle) {
    if (TokenHandle == nullptr) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    *TokenHandle = nullptr;
    SetLastError(ThreadHandle == GetCurrentThread() ? ERROR_NO_TOKEN : ERROR_INVALID_HANDLE);
    return FALSE;
}

BOOL WINAPI OpenProcessToken(HANDLE ProcessHandle, DWORD DesiredAccess, PHANDLE TokenHandle) {
    if (TokenHandle == nullptr) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    *TokenHandle = nullptr;
    if (ProcessHandle != GetCurrentProcess()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    *TokenHandle = posix::InsertHandle(std::make_unique<Token>(DesiredAccess));
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL WINAPI LookupPrivilegeValueW(LPCWSTR lpSystemName, LPCWSTR lpName, PLUID lpLuid) {
    if (lpSystemName != nullptr && *lpSystemName != L'\0') {
        // Remote systems are out of reach of this layer.
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    if (lpName == nullptr || lpLuid == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // Windows matches privilege names without regard to letter case.
    const std::wstring_view name(lpName);
    const std::wstring_view known(SE_SYSTEM_ENVIRONMENT_NAME);
    bool same = name.size() == known.size();
    for (std::size_t i = 0; same && i < name.size(); ++i) {
        wchar_t a = name[i];
        wchar_t b = known[i];
        if (a >= L'a' && a <= L'z') a = static_cast<wchar_t>(a - L'a' + L'A');
        if (b >= L'a' && b <= L'z') b = static_cast<wchar_t>(b - L'a' + L'A');
        same = a == b;
    }
    if (!same) {
        SetLastError(ERROR_NO_SUCH_PRIVILEGE);
        return FALSE;
    }
    lpLuid->LowPart = kSystemEnvironmentLuid;
    lpLuid->HighPart = 0;
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL WINAPI AdjustTokenPrivileges(HANDLE TokenHandle, BOOL DisableAllPrivileges,
                                  PTOKEN_PRIVILEGES NewState, DWORD /*BufferLength*/,
                                  PTOKEN_PRIVILEGES PreviousState, PDWORD ReturnLength) {
    auto* token = dynamic_cast<Token*>(posix::LookupHandle(TokenHandle));
    if (token == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if ((token->access() & TOKEN_ADJUST_PRIVILEGES) == 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    // Reporting the previous state is not needed by anything that runs on this layer.
    if (PreviousState != nullptr || ReturnLength != nullptr) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    if (DisableAllPrivileges) {
        systemEnvironmentEnabled = false;
        SetLastError(ERROR_SUCCESS);
        return TRUE;
    }
    if (NewState == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // As on Windows, a privilege the token does not hold is skipped and reported through
    // ERROR_NOT_ALL_ASSIGNED; the call itself succeeds.
    bool notAllAssigned = false;
    bool touched = false;
    bool enable = false;
    const LUID_AND_ATTRIBUTES* entries = NewState->Privileges;
    for (DWORD i = 0; i < NewState->PrivilegeCount; ++i) {
        if (!IsSystemEnvironmentLuid(entries[i].Luid)) {
            notAllAssigned = true;
            continue;
        }
        const bool wantEnabled = (entries[i].Attributes & SE_PRIVILEGE_ENABLED) != 0;
        if (wantEnabled && !ProcessHoldsSystemEnvironment()) {
            notAllAssigned = true;
            continue;
        }
        touched = true;
        enable = wantEnabled;
    }
    if (touched) systemEnvironmentEnabled = enable;
    SetLastError(notAllAssigned ? ERROR_NOT_ALL_ASSIGNED : ERROR_SUCCESS);
    return TRUE;
}

}  // extern "C"

namespace posix {

bool SystemEnvironmentPrivilegeEnabled() { return systemEnvironmentEnabled; }

}  // namespace posix
