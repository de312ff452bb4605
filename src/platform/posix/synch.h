// Named mutexes of the Linux layer, machine-wide as the "Global\" namespace is on Windows: the
// mutex "Global\<name>" is an flock() on the file <root>/run/<name>.lock, created (and run/
// with it) when missing. The kernel drops the lock of a process that dies, so a mutex that
// Windows would hand over as abandoned is simply free here. Ownership belongs to the handle:
// a second handle to the same mutex waits like another process would, never less strictly
// than Windows.
#pragma once

#include "platform/posix/win_types.h"

constexpr DWORD INFINITE = 0xFFFFFFFFu;
constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_ABANDONED = 0x80;
constexpr DWORD WAIT_TIMEOUT = 0x102;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFFu;

extern "C" {

// A handle (close it with CloseHandle), GetLastError() ERROR_ALREADY_EXISTS when the mutex
// existed before. NULL with ERROR_ACCESS_DENIED when the caller may not create or open the lock
// file (EACCES, EPERM), ERROR_WRITE_PROTECT when run/ is read-only, ERROR_INVALID_NAME for a name
// outside "Global\", ERROR_INVALID_HANDLE when something other than a lock file holds the name.
// Only bInitialOwner FALSE is supported.
HANDLE WINAPI CreateMutexW(LPSECURITY_ATTRIBUTES lpMutexAttributes, BOOL bInitialOwner,
                           LPCWSTR lpName);

// WAIT_OBJECT_0 once the mutex is owned through this handle (again, when it already is),
// WAIT_TIMEOUT when it stays held elsewhere for dwMilliseconds, WAIT_FAILED on errors.
DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds);

// Gives up one ownership; FALSE with ERROR_NOT_OWNER when the handle owns nothing.
BOOL WINAPI ReleaseMutex(HANDLE hMutex);

}  // extern "C"
