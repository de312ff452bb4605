// Named mutexes of the Linux layer: flock() on a lock file under the machine's run/ folder.
#include "platform/owners.h"
#include "platform/platform.h"
#include "support/machine_tree.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <ostream>

namespace {

using ::PrintTo;

constexpr const wchar_t* kName = L"Global\\cellkeeper-patch";
constexpr const char* kLockFile = "run/cellkeeper-patch.lock";

TEST(MutexTest, LockFileIsCreatedForTheOwnerOnlyAndOpenedAgainLater) {
    MachineTree machine;
    UniqueHandle first;
    *first.put() = CreateMutexW(nullptr, FALSE, kName);
    ASSERT_NE(first.get(), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    struct stat status {};
    ASSERT_EQ(lstat(machine.Path(kLockFile).c_str(), &status), 0);
    EXPECT_TRUE(S_ISREG(status.st_mode));
    EXPECT_EQ(status.st_mode & 0777, 0600u);

    UniqueHandle second;
    *second.put() = CreateMutexW(nullptr, FALSE, kName);
    ASSERT_NE(second.get(), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
}

TEST(MutexTest, OwnershipIsCountedAndHeldAgainstEveryOtherHandle) {
    MachineTree machine;
    UniqueHandle first;
    UniqueHandle second;
    *first.put() = CreateMutexW(nullptr, FALSE, kName);
    *second.put() = CreateMutexW(nullptr, FALSE, kName);
    ASSERT_NE(first.get(), nullptr);
    ASSERT_NE(second.get(), nullptr);

    EXPECT_FALSE(ReleaseMutex(first.get()));
    EXPECT_EQ(GetLastError(), ERROR_NOT_OWNER);
    EXPECT_EQ(WaitForSingleObject(first.get(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(first.get(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(second.get(), 20), WAIT_TIMEOUT);
    EXPECT_TRUE(ReleaseMutex(first.get()));
    EXPECT_EQ(WaitForSingleObject(second.get(), 0), WAIT_TIMEOUT);
    EXPECT_TRUE(ReleaseMutex(first.get()));
    EXPECT_EQ(WaitForSingleObject(second.get(), 0), WAIT_OBJECT_0);
    // Closing an owning handle frees the mutex, as the death of its process does.
    second.reset();
    EXPECT_EQ(WaitForSingleObject(first.get(), 0), WAIT_OBJECT_0);
}

TEST(MutexTest, WaitOnSomethingElseFails) {
    EXPECT_EQ(WaitForSingleObject(GetCurrentProcess(), 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

struct NameCase {
    const char* name;
    const wchar_t* mutexName = nullptr;
};

class MutexNameTest : public testing::TestWithParam<NameCase> {};

TEST_P(MutexNameTest, NameThatIsNoLockFileIsRefused) {
    MachineTree machine;
    EXPECT_EQ(CreateMutexW(nullptr, FALSE, GetParam().mutexName), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME);
    EXPECT_FALSE(std::filesystem::exists(machine.Path("run/x")));
}

INSTANTIATE_TEST_SUITE_P(
    Names, MutexNameTest,
    testing::Values(NameCase{"Unnamed", nullptr}, NameCase{"SessionNamespace", L"cellkeeper-patch"},
                    NameCase{"EmptyGlobalName", L"Global\\"}, NameCase{"Parent", L"Global\\.."},
                    NameCase{"Slash", L"Global\\../x"}, NameCase{"Backslash", L"Global\\a\\b"}),
    CaseName());

enum class Planted { kLinkOutside, kFifo, kFolder };

struct PlantedCase {
    const char* name;
    Planted kind = Planted::kLinkOutside;
};

class PlantedLockFileTest : public testing::TestWithParam<PlantedCase> {};

// Something other than a lock file under the name is another kind of object, as on Windows;
// it is neither followed nor waited on.
TEST_P(PlantedLockFileTest, IsNoMutex) {
    MachineTree machine;
    machine.WriteFile("outside", "kept");
    machine.MakeFolder("run");
    const std::filesystem::path lock = machine.Path(kLockFile);
    switch (GetParam().kind) {
        case Planted::kLinkOutside:
            std::filesystem::create_symlink(machine.Path("outside"), lock);
            break;
        case Planted::kFifo:
            ASSERT_EQ(mkfifo(lock.c_str(), 0600), 0);
            break;
        case Planted::kFolder:
            machine.MakeFolder(kLockFile);
            break;
    }
    EXPECT_EQ(CreateMutexW(nullptr, FALSE, kName), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(machine.ReadFile("outside"), "kept");
}

INSTANTIATE_TEST_SUITE_P(Kinds, PlantedLockFileTest,
                         testing::Values(PlantedCase{"LinkOutside", Planted::kLinkOutside},
                                         PlantedCase{"Fifo", Planted::kFifo},
                                         PlantedCase{"Folder", Planted::kFolder}),
                         CaseName());

}  // namespace
