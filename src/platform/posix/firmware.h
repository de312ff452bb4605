// Firmware environment variables of the Linux layer, over efivarfs under the machine root:
// the variable `name` in the vendor GUID "{xxxxxxxx-...}" is the file
// <root>/sys/firmware/efi/efivars/<name>-<guid in small letters>, holding a 4-byte little-endian
// attribute word and then the data. Every call needs SeSystemEnvironmentPrivilege enabled.
#pragma once

#include "platform/posix/win_types.h"

extern "C" {

// The number of data bytes read, or 0 with GetLastError(): ERROR_INVALID_FUNCTION (no firmware
// variables), ERROR_ENVVAR_NOT_FOUND, ERROR_INSUFFICIENT_BUFFER, ERROR_PRIVILEGE_NOT_HELD...
DWORD WINAPI GetFirmwareEnvironmentVariableW(LPCWSTR lpName, LPCWSTR lpGuid, PVOID pBuffer,
                                             DWORD nSize);
DWORD WINAPI GetFirmwareEnvironmentVariableExW(LPCWSTR lpName, LPCWSTR lpGuid, PVOID pBuffer,
                                               DWORD nSize, PDWORD pdwAttribubutes);

// Non-zero on success. The plain call writes with the attributes non-volatile, boot-service and
// runtime access (7). A size of 0, or attributes without boot-service and runtime access, delete
// the variable. As conforming firmware does, a write fails with ERROR_INVALID_PARAMETER when it
// asks for runtime access without boot-service access, or when it names attributes other than
// those of the existing variable (a deletion with attributes 0 is allowed).
BOOL WINAPI SetFirmwareEnvironmentVariableW(LPCWSTR lpName, LPCWSTR lpGuid, PVOID pValue,
                                            DWORD nSize);
BOOL WINAPI SetFirmwareEnvironmentVariableExW(LPCWSTR lpName, LPCWSTR lpGuid, PVOID pValue,
                                              DWORD nSize, DWORD dwAttributes);

}  // extern "C"
