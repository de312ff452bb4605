#include "app/privilege.h"

#include "platform/owners.h"
#include "platform/platform.h"

namespace {

constexpr DWORD kTokenAccess = TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY;

}  // namespace

void EnableSystemEnvironmentPrivilege() {
    UniqueHandle token;
    if (OpenThreadToken(GetCurrentThread(), kTokenAccess, /*OpenAsSelf=*/TRUE, token.put()) ==
        FALSE) {
        // Only a thread without a token of its own falls back to the process token.
        if (GetLastError() != ERROR_NO_TOKEN) {
            return;
        }
        if (OpenProcessToken(GetCurrentProcess(), kTokenAccess, token.put()) == FALSE) {
            return;
        }
    }
    TOKEN_PRIVILEGES privileges{};
    if (LookupPrivilegeValueW(/*lpSystemName=*/nullptr, SE_SYSTEM_ENVIRONMENT_NAME,
                              &privileges.Privileges[0].Luid) == FALSE) {
        return;
    }
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    // A privilege the token does not hold is not reported; the firmware calls will tell.
    AdjustTokenPrivileges(token.get(), /*DisableAllPrivileges=*/FALSE, &privileges,
                          /*BufferLength=*/0, /*PreviousState=*/nullptr,
                          /*ReturnLength=*/nullptr);
}
