// Joins the calling thread to COM for the lifetime of one connection and undoes exactly that
// initialisation, so that several connections can be alive at once.
#pragma once

#include "platform/platform.h"

class ComInitGuard {
  public:
    // CoInitializeEx for a single-threaded apartment, speed over memory.
    ComInitGuard();
    // CoUninitialize, only when initResult is a success (S_FALSE included).
    ~ComInitGuard();
    ComInitGuard(const ComInitGuard&) = delete;
    ComInitGuard& operator=(const ComInitGuard&) = delete;

    HRESULT initResult;
};
