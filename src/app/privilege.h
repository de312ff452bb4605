// The privilege that firmware-variable access needs.
#pragma once

#include "platform/platform.h"

// Enables "SeSystemEnvironmentPrivilege" on the thread's token, or the process token when the
// thread has none. Silent: without the privilege the firmware calls fail and the run decides
// from the registry alone.
void EnableSystemEnvironmentPrivilege();

// The token calls that the privilege step makes. The platform's own by default; tests put
// theirs here to reach the failures a real token seldom shows.
struct TokenCalls {
    decltype(&OpenThreadToken) openThreadToken = &OpenThreadToken;
    decltype(&OpenProcessToken) openProcessToken = &OpenProcessToken;
    decltype(&LookupPrivilegeValueW) lookupPrivilegeValue = &LookupPrivilegeValueW;
    decltype(&AdjustTokenPrivileges) adjustTokenPrivileges = &AdjustTokenPrivileges;
    decltype(&CloseHandle) closeHandle = &CloseHandle;
};

extern TokenCalls tokenCalls;
