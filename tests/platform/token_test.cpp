// Token, privilege and module calls as the run makes them; runs in both builds.
#include "platform/owners.h"
#include "platform/platform.h"

#include <gtest/gtest.h>

namespace {

constexpr DWORD kAdjustAndQuery = TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY;

TEST(TokenTest, ThreadWithoutImpersonationHasNoTokenOfItsOwn) {
    UniqueHandle token;
    EXPECT_FALSE(OpenThreadToken(GetCurrentThread(), kAdjustAndQuery, TRUE, token.put()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_TOKEN));
}

TEST(TokenTest, ProcessTokenOpensAndCloses) {
    UniqueHandle token;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), kAdjustAndQuery, token.put()));
    EXPECT_NE(token.get(), nullptr);
    EXPECT_TRUE(CloseHandle(token.release()));
}

TEST(TokenTest, SystemEnvironmentPrivilegeHasItsWindowsLuid) {
    for (const wchar_t* name : {SE_SYSTEM_ENVIRONMENT_NAME, L"sesystemenvironmentprivilege"}) {
        LUID luid{99, 99};
        ASSERT_TRUE(LookupPrivilegeValueW(nullptr, name, &luid));
        EXPECT_EQ(luid.LowPart, 22u);
        EXPECT_EQ(luid.HighPart, 0);
    }
    LUID luid{};
    EXPECT_FALSE(LookupPrivilegeValueW(nullptr, L"SeNoSuchPrivilege", &luid));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_SUCH_PRIVILEGE));
}

TEST(ModuleTest, Kernel32IsFoundInAnyLetterCaseAndOthersAreNot) {
    EXPECT_NE(GetModuleHandleW(L"kernel32.dll"), nullptr);
    EXPECT_EQ(GetModuleHandleW(L"KERNEL32.DLL"), GetModuleHandleW(L"kernel32.dll"));
    EXPECT_EQ(GetModuleHandleW(L"no-such-module.dll"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    EXPECT_EQ(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "NoSuchFunctionAnywhere"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
}

}  // namespace
