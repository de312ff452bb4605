// File functions of the Linux layer: the few calls of the Windows file API that the run log makes,
// over POSIX paths (wide text, encoded as UTF-8). Only what the callers use is served; any other
// access, share or creation choice fails with ERROR_INVALID_PARAMETER.
#pragma once

#include "platform/posix/win_types.h"

constexpr DWORD FILE_APPEND_DATA = 0x0004;
constexpr DWORD FILE_SHARE_READ = 0x1;
constexpr DWORD FILE_SHARE_WRITE = 0x2;
constexpr DWORD FILE_SHARE_DELETE = 0x4;
constexpr DWORD CREATE_NEW = 1;
constexpr DWORD OPEN_ALWAYS = 4;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr DWORD MOVEFILE_REPLACE_EXISTING = 0x1;
constexpr DWORD ERROR_FILE_EXISTS = 80;
// As Windows defines it: (HANDLE)-1, the same value as the process pseudo handle.
inline const HANDLE INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1));

union LARGE_INTEGER {
    struct {
        DWORD LowPart;
        LONG HighPart;
    } u;
    LONGLONG QuadPart;
};
using PLARGE_INTEGER = LARGE_INTEGER*;
struct OVERLAPPED;
using LPOVERLAPPED = OVERLAPPED*;

extern "C" {

// FILE_APPEND_DATA alone: every WriteFile goes to the end of the file as it is at that moment,
// in one piece, as Windows does for appending handles. OPEN_ALWAYS creates a missing file
// (mode 0644), OPEN_EXISTING and CREATE_NEW behave as on Windows. A folder gives
// ERROR_ACCESS_DENIED, as CreateFileW without backup semantics does.
HANDLE WINAPI CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE hTemplateFile);

// One write() call: what reached the file is in *lpNumberOfBytesWritten. Synchronous only.
BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                      LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped);

BOOL WINAPI GetFileSizeEx(HANDLE hFile, PLARGE_INTEGER lpFileSize);

// Renames a file; an existing target is replaced only with MOVEFILE_REPLACE_EXISTING
// (ERROR_ALREADY_EXISTS otherwise).
BOOL WINAPI MoveFileExW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, DWORD dwFlags);

DWORD WINAPI GetCurrentProcessId();

}  // extern "C"
