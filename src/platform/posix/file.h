// File functions of the Linux layer: the few calls of the Windows file API that the run log makes,
// over POSIX paths (wide text, encoded as UTF-8). Only what the callers use is served; any other
// access, share or creation choice fails with ERROR_INVALID_PARAMETER. A handle keeps the folder
// that its file was opened in, so that a rename through the handle happens in that folder and
// nowhere a link would lead.
#pragma once

#include "platform/posix/win_types.h"

constexpr DWORD FILE_APPEND_DATA = 0x0004;
constexpr DWORD DELETE = 0x00010000;
constexpr DWORD FILE_SHARE_READ = 0x1;
constexpr DWORD FILE_SHARE_WRITE = 0x2;
constexpr DWORD FILE_SHARE_DELETE = 0x4;
constexpr DWORD CREATE_NEW = 1;
constexpr DWORD OPEN_ALWAYS = 4;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD FILE_ATTRIBUTE_REPARSE_POINT = 0x400;
constexpr DWORD FILE_FLAG_OPEN_REPARSE_POINT = 0x00200000;
constexpr DWORD FILE_TYPE_UNKNOWN = 0;
constexpr DWORD FILE_TYPE_DISK = 1;
constexpr LONG ERROR_NOT_SAME_DEVICE = 17;
constexpr LONG ERROR_CANT_ACCESS_FILE = 1920;
constexpr DWORD MOVEFILE_REPLACE_EXISTING = 0x1;
constexpr LONG ERROR_FILE_EXISTS = 80;
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
struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};
struct BY_HANDLE_FILE_INFORMATION {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD dwVolumeSerialNumber;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD nNumberOfLinks;
    DWORD nFileIndexHigh;
    DWORD nFileIndexLow;
};
using LPBY_HANDLE_FILE_INFORMATION = BY_HANDLE_FILE_INFORMATION*;
enum FILE_INFO_BY_HANDLE_CLASS { FileRenameInfo = 3 };
struct FILE_RENAME_INFO {
    union {
        BOOLEAN ReplaceIfExists;
        DWORD Flags;
    };
    HANDLE RootDirectory;
    DWORD FileNameLength;  // in bytes, without a terminating zero
    WCHAR FileName[1];
};
struct OVERLAPPED;
using LPOVERLAPPED = OVERLAPPED*;

extern "C" {

// FILE_APPEND_DATA (with DELETE, to rename through the handle): every WriteFile goes to the end
// of the file as it is at that moment, in one piece, as Windows does for appending handles.
// OPEN_ALWAYS creates a missing file (mode 0644), OPEN_EXISTING and CREATE_NEW behave as on
// Windows. A folder gives ERROR_ACCESS_DENIED, as CreateFileW without backup semantics does.
// A FIFO, a device or a socket gives ERROR_CANT_ACCESS_FILE (opened without blocking, so a FIFO
// without a reader never holds the caller); so does, with FILE_FLAG_OPEN_REPARSE_POINT, a
// symbolic link at the name, which is never followed. Only that flag and FILE_ATTRIBUTE_NORMAL
// are served.
HANDLE WINAPI CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE hTemplateFile);

// One write() call: what reached the file is in *lpNumberOfBytesWritten. Synchronous only.
BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                      LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped);

BOOL WINAPI GetFileSizeEx(HANDLE hFile, PLARGE_INTEGER lpFileSize);

// FILE_TYPE_DISK for every file handle (only regular files are opened), FILE_TYPE_UNKNOWN with
// ERROR_INVALID_HANDLE otherwise.
DWORD WINAPI GetFileType(HANDLE hFile);

// The attributes (FILE_ATTRIBUTE_NORMAL for a regular file), size, link count and identity
// (device in the serial number, inode in the index) of the opened file; times are zero.
BOOL WINAPI GetFileInformationByHandle(HANDLE hFile,
                                       LPBY_HANDLE_FILE_INFORMATION lpFileInformation);

// FileRenameInfo only, on a handle opened with DELETE: renames the opened file to FileName (a
// full path in the same folder, RootDirectory NULL), replacing an existing file only when
// ReplaceIfExists is set (ERROR_ALREADY_EXISTS otherwise). Windows renames the file wherever it
// now is; this layer cannot find a file by its descriptor, so when the name it was opened under
// no longer names it, the rename fails with ERROR_FILE_NOT_FOUND and nothing moves. A target in
// another folder gives ERROR_NOT_SAME_DEVICE.
BOOL WINAPI SetFileInformationByHandle(HANDLE hFile, FILE_INFO_BY_HANDLE_CLASS FileInformationClass,
                                       LPVOID lpFileInformation, DWORD dwBufferSize);

// Renames a file; an existing target is replaced only with MOVEFILE_REPLACE_EXISTING
// (ERROR_ALREADY_EXISTS otherwise).
BOOL WINAPI MoveFileExW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, DWORD dwFlags);

DWORD WINAPI GetCurrentProcessId();

}  // extern "C"
