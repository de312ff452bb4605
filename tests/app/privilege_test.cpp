// The privilege step's way through the token calls, each failure included, with fake calls in
// place of the platform's.
#include "app/privilege.h"
#include "support/machine_tree.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Made-up handle values: the fakes only compare them.
HANDLE const kThreadToken = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(0x7001));
HANDLE const kProcessToken = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(0x7002));

struct TokenScript {
    DWORD threadTokenError = ERROR_SUCCESS;  // OpenThreadToken fails with it unless ERROR_SUCCESS
    bool processTokenFails = false;
    bool lookupFails = false;
};

struct PrivilegeCase {
    const char* name;
    TokenScript script = {};
    std::vector<std::string> calls = {};
};

using ::PrintTo;

// What the fakes answer and what they heard, in order.
TokenScript script;
std::vector<std::string> calls;

std::string TokenName(HANDLE token) {
    if (token == kThreadToken) return "thread token";
    if (token == kProcessToken) return "process token";
    return "unknown token";
}

BOOL WINAPI FakeOpenThreadToken(HANDLE, DWORD, BOOL, PHANDLE token) {
    calls.emplace_back("OpenThreadToken");
    if (script.threadTokenError != ERROR_SUCCESS) {
        SetLastError(script.threadTokenError);
        return FALSE;
    }
    *token = kThreadToken;
    return TRUE;
}

BOOL WINAPI FakeOpenProcessToken(HANDLE, DWORD, PHANDLE token) {
    calls.emplace_back("OpenProcessToken");
    if (script.processTokenFails) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    *token = kProcessToken;
    return TRUE;
}

BOOL WINAPI FakeLookupPrivilegeValue(LPCWSTR, LPCWSTR name, PLUID luid) {
    const bool ours = std::wstring(name) == SE_SYSTEM_ENVIRONMENT_NAME;
    calls.emplace_back(std::string("LookupPrivilegeValueW ") +
                       (ours ? "SeSystemEnvironmentPrivilege" : "other"));
    if (script.lookupFails) {
        SetLastError(ERROR_NO_SUCH_PRIVILEGE);
        return FALSE;
    }
    luid->LowPart = 22;
    luid->HighPart = 0;
    return TRUE;
}

BOOL WINAPI FakeAdjustTokenPrivileges(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES state, DWORD,
                                      PTOKEN_PRIVILEGES, PDWORD) {
    const bool enablesIt = disableAll == FALSE && state->PrivilegeCount == 1 &&
                           state->Privileges[0].Luid.LowPart == 22 &&
                           state->Privileges[0].Attributes == SE_PRIVILEGE_ENABLED;
    calls.emplace_back("AdjustTokenPrivileges " + TokenName(token) +
                       (enablesIt ? " enable" : " other change"));
    return TRUE;
}

BOOL WINAPI FakeCloseHandle(HANDLE handle) {
    calls.emplace_back("CloseHandle " + TokenName(handle));
    return TRUE;
}

class PrivilegeStepTest : public testing::TestWithParam<PrivilegeCase> {
  protected:
    void SetUp() override {
        saved_ = tokenCalls;
        tokenCalls =
            TokenCalls{&FakeOpenThreadToken, &FakeOpenProcessToken, &FakeLookupPrivilegeValue,
                       &FakeAdjustTokenPrivileges, &FakeCloseHandle};
        calls.clear();
    }
    void TearDown() override { tokenCalls = saved_; }

  private:
    TokenCalls saved_;
};

TEST_P(PrivilegeStepTest, TakesItsWayThroughTheTokenCalls) {
    script = GetParam().script;
    EnableSystemEnvironmentPrivilege();
    EXPECT_EQ(calls, GetParam().calls);
}

const std::string kLookup = "LookupPrivilegeValueW SeSystemEnvironmentPrivilege";

INSTANTIATE_TEST_SUITE_P(
    Tokens, PrivilegeStepTest,
    testing::Values(
        PrivilegeCase{
            .name = "ThreadTokenIsUsed",
            .script = {},
            .calls = {"OpenThreadToken", kLookup, "AdjustTokenPrivileges thread token enable",
                      "CloseHandle thread token"}},
        PrivilegeCase{
            .name = "ThreadWithoutTokenUsesTheProcessToken",
            .script = {.threadTokenError = ERROR_NO_TOKEN},
            .calls = {"OpenThreadToken", "OpenProcessToken", kLookup,
                      "AdjustTokenPrivileges process token enable", "CloseHandle process token"}},
        // Any other failure of the thread's token is not a reason to use the process's.
        PrivilegeCase{.name = "ThreadTokenErrorStopsTheStep",
                      .script = {.threadTokenError = ERROR_ACCESS_DENIED},
                      .calls = {"OpenThreadToken"}},
        PrivilegeCase{.name = "ProcessTokenErrorStopsTheStep",
                      .script = {.threadTokenError = ERROR_NO_TOKEN, .processTokenFails = true},
                      .calls = {"OpenThreadToken", "OpenProcessToken"}},
        PrivilegeCase{.name = "FailedLookupStillClosesTheToken",
                      .script = {.lookupFails = true},
                      .calls = {"OpenThreadToken", kLookup, "CloseHandle thread token"}},
        PrivilegeCase{.name = "FailedLookupStillClosesTheProcessToken",
                      .script = {.threadTokenError = ERROR_NO_TOKEN, .lookupFails = true},
                      .calls = {"OpenThreadToken", "OpenProcessToken", kLookup,
                                "CloseHandle process token"}}),
    CaseName());

}  // namespace
