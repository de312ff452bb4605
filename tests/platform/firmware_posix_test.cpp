// Firmware variables over efivarfs under the machine root: the file layout (4-byte attributes,
// then the data), the Windows error codes, and the immutable flag that efivarfs puts on
// variables.
#include "platform/owners.h"
#include "platform/platform.h"
#include "support/machine_tree.h"

#include <gtest/gtest.h>

#include <ostream>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr const char* kEfivars = "sys/firmware/efi/efivars";
constexpr const wchar_t* kName = L"cellkeeper_patch";
constexpr const wchar_t* kGuid = L"{994E9A98-28EB-4244-B5C6-1D92BE5321BD}";
constexpr const char* kFile =
    "sys/firmware/efi/efivars/cellkeeper_patch-994e9a98-28eb-4244-b5c6-1d92be5321bd";
constexpr DWORD kNonVolatileBootService = 3;

using GetEx = DWORD(WINAPI*)(LPCWSTR, LPCWSTR, PVOID, DWORD, PDWORD);
using SetEx = BOOL(WINAPI*)(LPCWSTR, LPCWSTR, PVOID, DWORD, DWORD);

template <typename Function>
Function Lookup(const char* name) {
    return reinterpret_cast<Function>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name)));
}

std::string Bytes(std::initializer_list<int> values) {
    std::string bytes;
    for (int v : values) bytes += static_cast<char>(v);
    return bytes;
}

// The privilege as the run enables it (`attributes` SE_PRIVILEGE_ENABLED), or switched off (0).
bool AdjustSystemEnvironment(DWORD attributes) {
    UniqueHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY,
                          token.put())) {
        return false;
    }
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = attributes;
    const bool enabled =
        LookupPrivilegeValueW(nullptr, SE_SYSTEM_ENVIRONMENT_NAME,
                              &privileges.Privileges[0].Luid) &&
        AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr) &&
        GetLastError() == ERROR_SUCCESS;
    return enabled;
}

class FirmwareTest : public testing::Test {
  protected:
    void SetUp() override {
        machine_.MakeFolder(kEfivars);
        ASSERT_TRUE(AdjustSystemEnvironment(SE_PRIVILEGE_ENABLED));
    }
    std::string FileBytes() const { return machine_.ReadFile(kFile).value_or("<missing>"); }

    MachineTree machine_;
};

TEST_F(FirmwareTest, PlainWriteStoresDefaultAttributesThenTheData) {
    std::string data = Bytes({24, 0, 0, 0, 1, 0, 0, 0});
    ASSERT_TRUE(SetFirmwareEnvironmentVariableW(kName, kGuid, data.data(),
                                                static_cast<DWORD>(data.size())));
    EXPECT_EQ(FileBytes(), Bytes({7, 0, 0, 0}) + data);

    char buffer[16] = {};
    ASSERT_EQ(GetFirmwareEnvironmentVariableW(kName, kGuid, buffer, sizeof buffer), data.size());
    EXPECT_EQ(std::string(buffer, data.size()), data);
}

TEST_F(FirmwareTest, ExtendedCallsCarryTheAttributes) {
    const auto set = Lookup<SetEx>("SetFirmwareEnvironmentVariableExW");
    const auto get = Lookup<GetEx>("GetFirmwareEnvironmentVariableExW");
    ASSERT_NE(set, nullptr);
    ASSERT_NE(get, nullptr);

    std::string data = Bytes({0xAB, 0xCD});
    ASSERT_TRUE(set(kName, kGuid, data.data(), 2, kNonVolatileBootService));
    EXPECT_EQ(FileBytes(), Bytes({3, 0, 0, 0, 0xAB, 0xCD}));

    char buffer[4] = {};
    DWORD attributes = 0;
    ASSERT_EQ(get(kName, kGuid, buffer, sizeof buffer, &attributes), 2u);
    EXPECT_EQ(attributes, kNonVolatileBootService);
    EXPECT_EQ(std::string(buffer, 2), data);
}

TEST_F(FirmwareTest, ShorterWriteReplacesTheWholeVariable) {
    machine_.WriteFile(kFile, Bytes({7, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8}));
    std::string data = Bytes({9});
    ASSERT_TRUE(SetFirmwareEnvironmentVariableW(kName, kGuid, data.data(), 1));
    EXPECT_EQ(FileBytes(), Bytes({7, 0, 0, 0, 9}));
}

TEST_F(FirmwareTest, WriteOfNoDataDeletesTheVariable) {
    machine_.WriteFile(kFile, Bytes({7, 0, 0, 0, 1}));
    ASSERT_TRUE(SetFirmwareEnvironmentVariableW(kName, kGuid, nullptr, 0));
    EXPECT_FALSE(machine_.ReadFile(kFile).has_value());
    EXPECT_FALSE(SetFirmwareEnvironmentVariableW(kName, kGuid, nullptr, 0));
    EXPECT_EQ(GetLastError(), ERROR_ENVVAR_NOT_FOUND);
}

// The rules of conforming firmware, which Windows reports as ERROR_INVALID_PARAMETER.
struct AttributeRuleCase {
    const char* name;
    std::optional<int> storedAttributes = {};  // the variable before the write, with data 0x11
    DWORD attributes = 0;
    DWORD size = 2;                                       // of the data 0x22 0x33
    DWORD error = ERROR_SUCCESS;                          // ERROR_SUCCESS: the write succeeds
    std::optional<std::string> fileAfter = std::nullopt;  // no value: no variable
};
using ::PrintTo;

class AttributeRuleTest : public FirmwareTest,
                          public testing::WithParamInterface<AttributeRuleCase> {};

TEST_P(AttributeRuleTest, WriteFollowsTheFirmwareRules) {
    const AttributeRuleCase& c = GetParam();
    if (c.storedAttributes) machine_.WriteFile(kFile, Bytes({*c.storedAttributes, 0, 0, 0, 0x11}));
    const auto set = Lookup<SetEx>("SetFirmwareEnvironmentVariableExW");
    ASSERT_NE(set, nullptr);
    std::string data = Bytes({0x22, 0x33});
    SetLastError(ERROR_SUCCESS);
    const BOOL written = set(kName, kGuid, data.data(), c.size, c.attributes);
    EXPECT_EQ(written != FALSE, c.error == ERROR_SUCCESS);
    EXPECT_EQ(GetLastError(), c.error);
    EXPECT_EQ(machine_.ReadFile(kFile), c.fileAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, AttributeRuleTest,
    testing::Values(
        AttributeRuleCase{
            .name = "NewVariable", .attributes = 7, .fileAfter = Bytes({7, 0, 0, 0, 0x22, 0x33})},
        AttributeRuleCase{
            .name = "RuntimeWithoutBootService", .attributes = 5, .error = ERROR_INVALID_PARAMETER},
        AttributeRuleCase{.name = "RuntimeWithoutBootServiceNotEvenToRemove",
                          .storedAttributes = 7,
                          .attributes = 5,
                          .size = 0,
                          .error = ERROR_INVALID_PARAMETER,
                          .fileAfter = Bytes({7, 0, 0, 0, 0x11})},
        AttributeRuleCase{.name = "SameAttributesReplace",
                          .storedAttributes = 7,
                          .attributes = 7,
                          .fileAfter = Bytes({7, 0, 0, 0, 0x22, 0x33})},
        AttributeRuleCase{.name = "OtherAttributesOfAnExistingVariable",
                          .storedAttributes = 5,
                          .attributes = 7,
                          .error = ERROR_INVALID_PARAMETER,
                          .fileAfter = Bytes({5, 0, 0, 0, 0x11})},
        AttributeRuleCase{.name = "RemovalWithOtherAttributes",
                          .storedAttributes = 5,
                          .attributes = 7,
                          .size = 0,
                          .error = ERROR_INVALID_PARAMETER,
                          .fileAfter = Bytes({5, 0, 0, 0, 0x11})},
        AttributeRuleCase{
            .name = "RemovalWithoutAttributes", .storedAttributes = 5, .attributes = 0, .size = 0},
        // Only attributes 0 may differ from an existing variable's.
        AttributeRuleCase{.name = "NoAccessAttributesOfAnExistingVariable",
                          .storedAttributes = 7,
                          .attributes = 1,
                          .error = ERROR_INVALID_PARAMETER,
                          .fileAfter = Bytes({7, 0, 0, 0, 0x11})},
        AttributeRuleCase{.name = "NoAccessAttributesCreateNothing",
                          .attributes = 1,
                          .error = ERROR_ENVVAR_NOT_FOUND},
        AttributeRuleCase{.name = "RemovalOfNothing",
                          .attributes = 0,
                          .size = 0,
                          .error = ERROR_ENVVAR_NOT_FOUND}),
    CaseName());

TEST_F(FirmwareTest, PlainWriteCannotChangeAVariableOfOtherAttributes) {
    machine_.WriteFile(kFile, Bytes({5, 0, 0, 0, 0x11}));
    std::string data = Bytes({0x22});
    EXPECT_FALSE(SetFirmwareEnvironmentVariableW(kName, kGuid, data.data(), 1));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(SetFirmwareEnvironmentVariableW(kName, kGuid, nullptr, 0));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(FileBytes(), Bytes({5, 0, 0, 0, 0x11}));
}

TEST_F(FirmwareTest, BufferTooSmallAsksForMore) {
    machine_.WriteFile(kFile, Bytes({7, 0, 0, 0}) + std::string(2000, 'x'));
    std::vector<char> buffer(1024);
    EXPECT_EQ(GetFirmwareEnvironmentVariableW(kName, kGuid, buffer.data(), 1024), 0u);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    buffer.resize(2000);
    EXPECT_EQ(GetFirmwareEnvironmentVariableW(kName, kGuid, buffer.data(), 2000), 2000u);
}

TEST_F(FirmwareTest, LowerCaseGuidNamesTheSameVariable) {
    machine_.WriteFile(kFile, Bytes({7, 0, 0, 0, 42}));
    char buffer[4] = {};
    EXPECT_EQ(GetFirmwareEnvironmentVariableW(kName, L"{994e9a98-28eb-4244-b5c6-1d92be5321bd}",
                                              buffer, sizeof buffer),
              1u);
    EXPECT_EQ(buffer[0], 42);
}

struct FailureCase {
    const char* name;
    std::optional<std::string> file = std::nullopt;  // the variable's file, when there is one
    const wchar_t* guid = kGuid;
    DWORD error = ERROR_ENVVAR_NOT_FOUND;
};

// Test names carry the case; the bytes of the struct say nothing.

class FirmwareFailureTest : public FirmwareTest, public testing::WithParamInterface<FailureCase> {};

TEST_P(FirmwareFailureTest, ReadFailsWithTheWindowsCode) {
    const FailureCase& c = GetParam();
    if (c.file) machine_.WriteFile(kFile, *c.file);
    char buffer[64] = {};
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(GetFirmwareEnvironmentVariableW(kName, c.guid, buffer, sizeof buffer), 0u);
    EXPECT_EQ(GetLastError(), c.error);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, FirmwareFailureTest,
    testing::Values(FailureCase{.name = "Missing"},
                    // efivarfs can show a deleted variable as an empty file for a moment.
                    FailureCase{.name = "EmptyFile", .file = std::string()},
                    FailureCase{.name = "AttributesOnly", .file = std::string(4, '\7')},
                    FailureCase{.name = "LargerThanAnyRealVariable",
                                .file = std::string(4 + 70000, 'x'),
                                .error = ERROR_INVALID_DATA},
                    FailureCase{.name = "GuidWithoutBraces",
                                .guid = L"994E9A98-28EB-4244-B5C6-1D92BE5321BD",
                                .error = ERROR_INVALID_PARAMETER},
                    FailureCase{.name = "GuidWithBadDigit",
                                .guid = L"{994E9A98-28EB-4244-B5C6-1D92BE5321BG}",
                                .error = ERROR_INVALID_PARAMETER}),
    CaseName());

TEST_F(FirmwareTest, FirmwareWithoutVariablesIsAnInvalidFunction) {
    std::filesystem::remove(machine_.Path(kEfivars));
    char buffer[4] = {};
    EXPECT_EQ(GetFirmwareEnvironmentVariableW(kName, kGuid, buffer, sizeof buffer), 0u);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_FUNCTION);
    EXPECT_FALSE(SetFirmwareEnvironmentVariableW(kName, kGuid, buffer, sizeof buffer));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_FUNCTION);
}

TEST_F(FirmwareTest, NameWithASlashCannotLeaveTheFolder) {
    char data = 1;
    EXPECT_FALSE(SetFirmwareEnvironmentVariableW(L"../escaped", kGuid, &data, 1));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

// efivarfs marks variables immutable; a write must lift the flag and put it back.
TEST_F(FirmwareTest, ImmutableVariableIsWrittenAndStaysImmutable) {
    machine_.WriteFile(kFile, Bytes({7, 0, 0, 0, 1}));
    const int fd = open(machine_.Path(kFile).c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    int flags = 0;
    const bool canMark = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
                         (flags |= FS_IMMUTABLE_FL, ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0);
    const int markError = errno;
    if (!canMark) {
        close(fd);
        GTEST_SKIP() << "the temporary folder's filesystem or this user cannot set the immutable "
                        "flag (errno "
                     << markError << ")";
    }

    char data = 2;
    const BOOL written = SetFirmwareEnvironmentVariableW(kName, kGuid, &data, 1);
    const DWORD error = GetLastError();
    ASSERT_EQ(ioctl(fd, FS_IOC_GETFLAGS, &flags), 0);
    const bool stillImmutable = (flags & FS_IMMUTABLE_FL) != 0;
    flags &= ~FS_IMMUTABLE_FL;
    ioctl(fd, FS_IOC_SETFLAGS, &flags);  // so that the machine folder can be removed
    close(fd);

    EXPECT_TRUE(written) << "error " << error;
    EXPECT_TRUE(stillImmutable);
    EXPECT_EQ(FileBytes(), Bytes({7, 0, 0, 0, 2}));
}

enum class Planted { kFifo, kFolder, kLinkOutside };

struct PlantedCase {
    const char* name;
    Planted kind = Planted::kFifo;
};

class PlantedVariableTest : public FirmwareTest, public testing::WithParamInterface<PlantedCase> {
  protected:
    // Something other than a variable file at the variable's path, and a file outside the
    // firmware's folder that must never be read or written through it.
    void Plant() {
        machine_.WriteFile("outside", "kept");
        const std::filesystem::path path = machine_.Path(kFile);
        switch (GetParam().kind) {
            case Planted::kFifo:
                ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
                break;
            case Planted::kFolder:
                machine_.MakeFolder(kFile);
                break;
            case Planted::kLinkOutside:
                std::filesystem::create_symlink(machine_.Path("outside"), path);
                break;
        }
    }
};

// A FIFO used to block the read and the write for ever; a link was written through.
TEST_P(PlantedVariableTest, IsNoVariableAndIsNeverWrittenThrough) {
    Plant();
    char buffer[8] = {};
    EXPECT_EQ(GetFirmwareEnvironmentVariableW(kName, kGuid, buffer, sizeof buffer), 0u);
    EXPECT_EQ(GetLastError(), ERROR_ENVVAR_NOT_FOUND);
    char data = 2;
    EXPECT_FALSE(SetFirmwareEnvironmentVariableW(kName, kGuid, &data, 1));
    EXPECT_EQ(GetLastError(), ERROR_WRITE_FAULT);
    EXPECT_EQ(machine_.ReadFile("outside"), "kept");
    const auto status = std::filesystem::symlink_status(machine_.Path(kFile));
    switch (GetParam().kind) {
        case Planted::kFifo:
            EXPECT_EQ(status.type(), std::filesystem::file_type::fifo);
            break;
        case Planted::kFolder:
            EXPECT_EQ(status.type(), std::filesystem::file_type::directory);
            break;
        case Planted::kLinkOutside:
            EXPECT_EQ(status.type(), std::filesystem::file_type::symlink);
            break;
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, PlantedVariableTest,
                         testing::Values(PlantedCase{"Fifo", Planted::kFifo},
                                         PlantedCase{"Folder", Planted::kFolder},
                                         PlantedCase{"LinkOutside", Planted::kLinkOutside}),
                         CaseName());

TEST(FirmwareWithoutPrivilegeTest, EveryCallFailsWithPrivilegeNotHeld) {
    MachineTree machine;
    // Off, whatever an earlier test in this process did.
    ASSERT_TRUE(AdjustSystemEnvironment(0));
    machine.WriteFile(kFile, Bytes({7, 0, 0, 0, 1}));
    char buffer[4] = {};
    EXPECT_EQ(GetFirmwareEnvironmentVariableW(kName, kGuid, buffer, sizeof buffer), 0u);
    EXPECT_EQ(GetLastError(), ERROR_PRIVILEGE_NOT_HELD);
    EXPECT_FALSE(SetFirmwareEnvironmentVariableW(kName, kGuid, buffer, 1));
    EXPECT_EQ(GetLastError(), ERROR_PRIVILEGE_NOT_HELD);
    EXPECT_EQ(machine.ReadFile(kFile), Bytes({7, 0, 0, 0, 1}));
}

}  // namespace
