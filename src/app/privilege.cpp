#include "app/privilege.h"

#include "platform/owners.h"

TokenCalls tokenCalls;

namespace {

constexpr DWORD kTokenAccess = TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY;

// The token is closed through the same table that opened it, so tests see the close too.
struct TokenTraits {
    using Type = HANDLE;
    static Type Empty() { return nullptr; }
    static void Close(Type token) { tokenCalls.closeHandle(token); }
};

}  // namespace

void EnableSystemEnvironmentPrivilege() {
    UniqueResource<TokenTraits> token;
    if (tokenCalls.openThreadToken(GetCurrentThread(), kTokenAccess, /*OpenAsSelf=*/TRUE,
                                   token.put()) == FALSE) {
        // Only a thread without a token of its own falls back to the process token.
        if (GetLastError() != ERROR_NO_TOKEN) {
            return;
        }
        if (tokenCalls.openProcessToken(GetCurrentProcess(), kTokenAccess, token.put()) == FALSE) {
            return;
        }
    }
    TOKEN_PRIVILEGES privileges{};
    if (tokenCalls.lookupPrivilegeValue(/*lpSystemName=*/nullptr, SE_SYSTEM_ENVIRONMENT_NAME,
                                        &privileges.Privileges[0].Luid) == FALSE) {
        return;
    }
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    // A privilege the token does not hold is not reported; the firmware calls will tell.
    tokenCalls.adjustTokenPrivileges(token.get(), /*DisableAllPrivileges=*/FALSE, &privileges,
                                     /*BufferLength=*/0, /*PreviousState=*/nullptr,
                                     /*ReturnLength=*/nullptr);
}
