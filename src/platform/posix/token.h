// Access tokens and privileges of the Linux layer. There is no impersonation, so a thread has no
// token of its own; the process token holds SeSystemEnvironmentPrivilege when the process may
// write firmware variables (euid 0, or a writable efivars directory under the machine root).
#pragma once

#include "platform/posix/win_types.h"

constexpr DWORD TOKEN_QUERY = 0x0008;
constexpr DWORD TOKEN_ADJUST_PRIVILEGES = 0x0020;

constexpr DWORD SE_PRIVILEGE_ENABLED = 0x00000002;

inline constexpr const wchar_t* SE_SYSTEM_ENVIRONMENT_NAME = L"SeSystemEnvironmentPrivilege";

extern "C" {

// Always fails with ERROR_NO_TOKEN: no thread impersonates on Linux.
BOOL WINAPI OpenThreadToken(HANDLE ThreadHandle, DWORD DesiredAccess, BOOL OpenAsSelf,
                            PHANDLE TokenHandle);

// A token handle of the current process (GetCurrentProcess()), closed with CloseHandle.
BOOL WINAPI OpenProcessToken(HANDLE ProcessHandle, DWORD DesiredAccess, PHANDLE TokenHandle);

// Local system only (lpSystemName NULL or empty); SeSystemEnvironmentPrivilege is {22, 0}.
BOOL WINAPI LookupPrivilegeValueW(LPCWSTR lpSystemName, LPCWSTR lpName, PLUID lpLuid);

// Enabling a privilege the process does not hold returns TRUE with last error
// ERROR_NOT_ALL_ASSIGNED and leaves it off, as Windows does.
BOOL WINAPI AdjustTokenPrivileges(HANDLE TokenHandle, BOOL DisableAllPrivileges,
                                  PTOKEN_PRIVILEGES NewState, DWORD BufferLength,
                                  PTOKEN_PRIVILEGES PreviousState, PDWORD ReturnLength);

}  // extern "C"

namespace posix {

// True once SeSystemEnvironmentPrivilege has been enabled in this process.
bool SystemEnvironmentPrivilegeEnabled();

}  // namespace posix
