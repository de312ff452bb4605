// Process and module functions of the Linux layer: the thread's last error, pseudo handles,
// CloseHandle, and the run-time lookup of the extended firmware-variable calls.
#pragma once

#include "platform/posix/win_types.h"

#include <memory>

extern "C" {

DWORD WINAPI GetLastError();
void WINAPI SetLastError(DWORD dwErrCode);

// Pseudo handles, as Windows gives them: (HANDLE)-1 for the process, (HANDLE)-2 for the thread.
HANDLE WINAPI GetCurrentProcess();
HANDLE WINAPI GetCurrentThread();

// Closes a handle from this layer's handle table (tokens); pseudo handles close as a no-op.
BOOL WINAPI CloseHandle(HANDLE hObject);

// L"kernel32.dll" in any letter case gives a module handle; other names NULL with
// ERROR_MOD_NOT_FOUND.
HMODULE WINAPI GetModuleHandleW(LPCWSTR lpModuleName);

// On the kernel32 module: "GetFirmwareEnvironmentVariableExW" and
// "SetFirmwareEnvironmentVariableExW"; other names NULL with ERROR_PROC_NOT_FOUND.
FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName);

}  // extern "C"

namespace posix {

// An object behind a HANDLE of this layer; the handle table owns it until CloseHandle.
class KernelObject {
  public:
    KernelObject() = default;
    KernelObject(const KernelObject&) = delete;
    KernelObject& operator=(const KernelObject&) = delete;
    virtual ~KernelObject() = default;
};

// Hands `object` to the handle table and returns its handle.
HANDLE InsertHandle(std::unique_ptr<KernelObject> object);

// The live object behind `handle`, or nullptr for a closed, pseudo or made-up handle.
KernelObject* LookupHandle(HANDLE handle);

}  // namespace posix
