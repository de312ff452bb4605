// The registry of the Linux layer: a file store under the machine root, one file per key in the
// text form of a registry export:
//   <root>/var/lib/cellkeeper-patch/registry/HKEY_LOCAL_MACHINE/<key path, \ as />.reg
// Results are Windows error codes (ERROR_SUCCESS, ERROR_FILE_NOT_FOUND for a missing key,
// ERROR_ACCESS_DENIED, ERROR_REGISTRY_CORRUPT for a store file that cannot be parsed...).
// REG_SZ data is wchar_t text here, but its sizes count UTF-16 code units x 2, as on Windows.
#pragma once

#include "platform/posix/win_types.h"

// Predefined keys, with the values Windows gives them (sign-extended 32-bit numbers).
inline HKEY const HKEY_CLASSES_ROOT =
    reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(0x80000000u)));
inline HKEY const HKEY_CURRENT_USER =
    reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(0x80000001u)));
inline HKEY const HKEY_LOCAL_MACHINE =
    reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(0x80000002u)));
inline HKEY const HKEY_USERS =
    reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(0x80000003u)));

// Access rights.
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_WOW64_64KEY = 0x0100;
constexpr REGSAM KEY_WOW64_32KEY = 0x0200;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

// Value types.
constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_MULTI_SZ = 7;
constexpr DWORD REG_QWORD = 11;

// RegGetValueW type restrictions and flags.
constexpr DWORD RRF_RT_REG_NONE = 0x00000001;
constexpr DWORD RRF_RT_REG_SZ = 0x00000002;
constexpr DWORD RRF_RT_REG_EXPAND_SZ = 0x00000004;
constexpr DWORD RRF_RT_REG_BINARY = 0x00000008;
constexpr DWORD RRF_RT_REG_DWORD = 0x00000010;
constexpr DWORD RRF_RT_REG_MULTI_SZ = 0x00000020;
constexpr DWORD RRF_RT_REG_QWORD = 0x00000040;
constexpr DWORD RRF_RT_DWORD = RRF_RT_REG_BINARY | RRF_RT_REG_DWORD;
constexpr DWORD RRF_RT_QWORD = RRF_RT_REG_BINARY | RRF_RT_REG_QWORD;
constexpr DWORD RRF_RT_ANY = 0x0000FFFF;
constexpr DWORD RRF_ZEROONFAILURE = 0x20000000;

// RegCreateKeyExW options and dispositions.
constexpr DWORD REG_OPTION_NON_VOLATILE = 0x00000000;
constexpr DWORD REG_CREATED_NEW_KEY = 0x00000001;
constexpr DWORD REG_OPENED_EXISTING_KEY = 0x00000002;

extern "C" {

LSTATUS WINAPI RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                             PHKEY phkResult);
LSTATUS WINAPI RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD Reserved, LPWSTR lpClass,
                               DWORD dwOptions, REGSAM samDesired,
                               LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                               LPDWORD lpdwDisposition);
LSTATUS WINAPI RegGetValueW(HKEY hkey, LPCWSTR lpSubKey, LPCWSTR lpValue, DWORD dwFlags,
                            LPDWORD pdwType, PVOID pvData, LPDWORD pcbData);
LSTATUS WINAPI RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD Reserved, DWORD dwType,
                              const BYTE* lpData, DWORD cbData);
// Deletes the subkey with everything below it (tests clean up their own keys with it).
LSTATUS WINAPI RegDeleteTreeW(HKEY hKey, LPCWSTR lpSubKey);
// Changes are seen at once by every handle of the process; other processes see them, each key
// file whole, from the next durable point on, which also makes them outlive a power loss. The
// durable points: RegFlushKey (which the run calls before the firmware changes and at its end),
// the close of a key's last handle, and the normal end of the process. A process that is
// killed loses what it changed since the last one.
LSTATUS WINAPI RegFlushKey(HKEY hKey);
LSTATUS WINAPI RegCloseKey(HKEY hKey);

}  // extern "C"

namespace posix {

// Every key's changes made durable at once, as RegFlushKey does for one: for harnesses that
// run the tool many times in one process. ERROR_SUCCESS, or the store's first failure.
DWORD FlushRegistry();

}  // namespace posix
