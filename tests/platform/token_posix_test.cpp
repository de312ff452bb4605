// When the Linux layer counts SeSystemEnvironmentPrivilege as held: the process may write
// firmware variables (root, or an efivars folder it can write).
#include "platform/owners.h"
#include "platform/platform.h"
#include "support/machine_tree.h"

#include <gtest/gtest.h>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace {

constexpr const char* kEfivars = "sys/firmware/efi/efivars";
constexpr const wchar_t* kName = L"cellkeeper_patch";
constexpr const wchar_t* kGuid = L"{994E9A98-28EB-4244-B5C6-1D92BE5321BD}";
constexpr uid_t kNobody = 65534;

// Outcome of enabling the privilege: the call's result and the last error after it.
struct Adjusted {
    BOOL result;
    DWORD error;
};

Adjusted AdjustOn(HANDLE token, DWORD attributes) {
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = attributes;
    if (!LookupPrivilegeValueW(nullptr, SE_SYSTEM_ENVIRONMENT_NAME,
                               &privileges.Privileges[0].Luid)) {
        return {FALSE, GetLastError()};
    }
    const BOOL result = AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
    return {result, GetLastError()};
}

Adjusted EnableOn(HANDLE token) { return AdjustOn(token, SE_PRIVILEGE_ENABLED); }

Adjusted AdjustWithAccess(DWORD access, DWORD attributes) {
    UniqueHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), access, token.put())) return {FALSE, GetLastError()};
    const Adjusted adjusted = AdjustOn(token.get(), attributes);
    return adjusted;
}

bool CanReadVariable() {
    char buffer[8] = {};
    return GetFirmwareEnvironmentVariableW(kName, kGuid, buffer, sizeof buffer) != 0;
}

// Runs `body` as an unprivileged user in a child process; its exit code.
int AsNobody(const std::function<int()>& body) {
    const pid_t child = fork();
    if (child == 0) {
        if (geteuid() == 0 &&
            (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0)) {
            _exit(100);
        }
        _exit(body());
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

class PrivilegeTest : public testing::Test {
  protected:
    void SetUp() override {
        // Off, whatever an earlier test in this process did.
        ASSERT_TRUE(AdjustWithAccess(TOKEN_ADJUST_PRIVILEGES, /*attributes=*/0).result);
        machine_.WriteFile(
            std::string(kEfivars) + "/cellkeeper_patch-994e9a98-28eb-4244-b5c6-1d92be5321bd",
            std::string("\7\0\0\0\1", 5));
    }
    // The folder must be writable again for the machine tree to be removed.
    void TearDown() override { chmod(machine_.Path(kEfivars).c_str(), S_IRWXU); }
    void SetEfivarsMode(mode_t mode) { ASSERT_EQ(chmod(machine_.Path(kEfivars).c_str(), mode), 0); }

    MachineTree machine_;
};

TEST_F(PrivilegeTest, ProcessThatMayWriteVariablesGetsThePrivilege) {
    EXPECT_FALSE(CanReadVariable());
    if (geteuid() != 0) SetEfivarsMode(S_IRWXU);
    const Adjusted adjusted =
        AdjustWithAccess(TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, SE_PRIVILEGE_ENABLED);
    EXPECT_TRUE(adjusted.result);
    EXPECT_EQ(adjusted.error, ERROR_SUCCESS);
    EXPECT_TRUE(CanReadVariable());
}

TEST_F(PrivilegeTest, UnprivilegedUserWithWritableEfivarsGetsThePrivilege) {
    SetEfivarsMode(S_IRWXU | S_IRWXG | S_IRWXO);
    const int result = AsNobody([] {
        const Adjusted adjusted =
            AdjustWithAccess(TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, SE_PRIVILEGE_ENABLED);
        if (!adjusted.result || adjusted.error != ERROR_SUCCESS) return 1;
        return CanReadVariable() ? 0 : 2;
    });
    EXPECT_EQ(result, 0) << "1: not enabled, 2: variable not readable, 100: setuid";
}

// As on Windows, the call succeeds and only the last error tells that nothing was assigned.
TEST_F(PrivilegeTest, UnprivilegedUserWithoutWritableEfivarsIsNotAssignedThePrivilege) {
    SetEfivarsMode(S_IRUSR | S_IXUSR | S_IRGRP | S_IXGRP | S_IROTH | S_IXOTH);
    const int result = AsNobody([] {
        const Adjusted adjusted =
            AdjustWithAccess(TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, SE_PRIVILEGE_ENABLED);
        if (!adjusted.result) return 1;
        if (adjusted.error != ERROR_NOT_ALL_ASSIGNED) return 2;
        if (CanReadVariable() || GetLastError() != ERROR_PRIVILEGE_NOT_HELD) return 3;
        return 0;
    });
    EXPECT_EQ(result, 0) << "1: call failed, 2: no ERROR_NOT_ALL_ASSIGNED, 3: firmware readable, "
                            "100: setuid";
}

TEST_F(PrivilegeTest, TokenWithoutAdjustRightOrAlreadyClosedIsRefused) {
    const Adjusted queryOnly = AdjustWithAccess(TOKEN_QUERY, SE_PRIVILEGE_ENABLED);
    EXPECT_FALSE(queryOnly.result);
    EXPECT_EQ(queryOnly.error, ERROR_ACCESS_DENIED);

    UniqueHandle token;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, token.put()));
    const HANDLE closedToken = token.release();
    ASSERT_TRUE(CloseHandle(closedToken));
    const Adjusted closed = EnableOn(closedToken);
    EXPECT_FALSE(closed.result);
    EXPECT_EQ(closed.error, ERROR_INVALID_HANDLE);
    EXPECT_FALSE(CloseHandle(closedToken));
    EXPECT_FALSE(CanReadVariable());
}

}  // namespace
