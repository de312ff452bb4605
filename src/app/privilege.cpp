#include "app/privilege.h"

TokenCalls tokenCalls;

namespace {

constexpr DWORD kTokenAccess = TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY;

// Owns one token handle and closes it when it goes out of scope.
class TokenHandle {
  public:
    TokenHandle() = default;
    ~TokenHandle() {
        if (handle_ != nullptr) {
            tokenCalls.closeHandle(handle_);
        }
    }
    TokenHandle(const TokenHandle&) = delete;
    TokenHandle& operator=(const TokenHandle&) = delete;

    HANDLE get() const { return handle_; }
    // Address for an Open*Token call; the handle must still be empty.
    PHANDLE put() { return &handle_; }

  private:
    HANDLE handle_ = nullptr;
};

}  // namespace

void EnableSystemEnvironmentPrivilege() {
    TokenHandle token;
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
