// The extended firmware-variable calls, looked up at run time because older systems lack them.
// Their addresses are cached once per process.
#pragma once

#include "platform/platform.h"

using GetFirmwareEnvironmentVariableExWCall = DWORD(WINAPI*)(LPCWSTR lpName, LPCWSTR lpGuid,
                                                             PVOID pBuffer, DWORD nSize,
                                                             PDWORD pdwAttribubutes);
using SetFirmwareEnvironmentVariableExWCall = BOOL(WINAPI*)(LPCWSTR lpName, LPCWSTR lpGuid,
                                                            PVOID pValue, DWORD nSize,
                                                            DWORD dwAttributes);

struct FirmwareCallCache {
    GetFirmwareEnvironmentVariableExWCall getVariableEx = nullptr;
    SetFirmwareEnvironmentVariableExWCall setVariableEx = nullptr;
    // kernel32 has been asked, whatever it answered: without the extended calls the plain ones
    // serve.
    bool lookedUp = false;
};

// The process-wide cache. Filled once, and only while getVariableEx is empty, so a test can
// place its own pair of calls here (or none, with lookedUp) before the record touches the
// firmware.
extern FirmwareCallCache firmwareCalls;

// Looks both addresses up in kernel32.dll, once, unless the extended read call is known.
void LookUpFirmwareCalls();
