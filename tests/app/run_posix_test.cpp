// The whole run on machine trees of the Linux layer. Each test runs in a process of its own,
// so the process-wide run status record is created afresh on the test's machine.
#include "app/run.h"
#include "base/console.h"
#include "base/text.h"
#include "platform/owners.h"
#include "record/firmware_calls.h"
#include "record/registry_value.h"
#include "record/run_date.h"
#include "record/run_status_record.h"
#include "support/built_in_locator_posix.h"
#include "support/firmware_variable_file.h"
#include "support/lock_holder.h"
#include "support/machine_paths.h"
#include "support/machine_tree.h"
#include "support/program_run.h"
#include "support/test_env.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <new>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr std::int64_t kEarlierRun = 1615881909;  // Tue Mar 16 08:05:09 2021 UTC
constexpr const char* kBanner = "Vantrel Cellkeeper Patch\n";

// The tool's key, opened by the test beside the run's own handle.
class ToolKey {
  public:
    ToolKey() {
        const std::wstring path = std::wstring(L"SOFTWARE\\Vantrel\\") + kToolKeyName;
        result_ =
            RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, key_.put(), nullptr);
    }

    LONG result() const { return result_; }
    void SetQword(const wchar_t* name, std::int64_t value) {
        ASSERT_EQ(::SetQword(key_.get(), name, value), 0);
    }
    void SetDword(const wchar_t* name, DWORD value) {
        ASSERT_EQ(::SetDword(key_.get(), name, value), 0);
    }
    std::optional<std::int64_t> GetQword(const wchar_t* name) {
        std::int64_t value = 0;
        if (::GetQword(key_.get(), name, value) != 0) {
            return std::nullopt;
        }
        return value;
    }
    std::optional<DWORD> GetDword(const wchar_t* name) {
        DWORD value = 0;
        if (::GetDword(key_.get(), name, value) != 0) {
            return std::nullopt;
        }
        return value;
    }

  private:
    UniqueKey key_;
    LONG result_ = 0;
};

class RunTest : public testing::Test {
  protected:
    void SetUp() override { previousSink_ = SetConsoleSink(&output_); }
    void TearDown() override { SetConsoleSink(previousSink_); }

    int Run(std::vector<const wchar_t*> arguments = {},
            DWORD lockWaitMilliseconds = kRunLockWaitMilliseconds) {
        arguments.insert(arguments.begin(), L"cellkeeper-patch");
        return RunCellkeeperPatch(static_cast<int>(arguments.size()), arguments.data(),
                                  lockWaitMilliseconds);
    }

    void UseSample(const char* name) { machine_.CopyTree(SampleMachine(name), ""); }

    // An earlier run that ended with `status`, recorded in the registry alone.
    void SettleInRegistry(DWORD status) {
        ToolKey key;
        ASSERT_EQ(key.result(), 0);
        key.SetQword(L"DateRun", kEarlierRun);
        key.SetDword(L"Status", status);
    }

    MachineTree machine_;
    ScopedTimeZone zone_{"UTC0"};
    BuiltInMachineLocator locator_;
    std::string output_;

  private:
    std::string* previousSink_ = nullptr;
};

struct BrokenStoreCase {
    const char* name;
    std::string text = "";
};

using ::PrintTo;

class BrokenStoreTest : public RunTest, public testing::WithParamInterface<BrokenStoreCase> {};

TEST_P(BrokenStoreTest, EndsWith35AndIsLeftAlone) {
    const std::string& text = GetParam().text;
    machine_.WriteFile(kKeyFile, text);
    EXPECT_EQ(Run({L"/FORCE"}), 35);
    EXPECT_EQ(output_, std::string(kBanner) +
                           "FATAL ERROR: Unable to access required Windows registry; error code "
                           "= 1015\n");
    EXPECT_EQ(RunStatusRecord::Instance().statusCode, 35);
    // The gate stops before the options are read.
    EXPECT_FALSE(RunStatusRecord::Instance().force);
    EXPECT_TRUE(machine_.ReadFile(kKeyFile) == text) << "the store file was changed";
}

// A key file past 1 MiB, otherwise well-formed: no key of this tool comes near that size.
std::string OversizedStore() {
    std::string text = std::string(kStoreStart) + "\"Padding\"=hex:00";
    while (text.size() <= (std::size_t{1} << 20)) text += ",00";
    return text + "\n";
}

INSTANTIATE_TEST_SUITE_P(Stores, BrokenStoreTest,
                         testing::Values(BrokenStoreCase{"Unparsable", "not a registry file\n"},
                                         BrokenStoreCase{"PastSizeCap", OversizedStore()}),
                         CaseName());

// An allocation that fails while the firmware record is read: the run reports the exception and
// ends with the fatal exit code.
DWORD WINAPI ThrowingFirmwareRead(LPCWSTR, LPCWSTR, PVOID, DWORD, PDWORD) {
    throw std::bad_alloc();
}

TEST_F(RunTest, StandardExceptionEndsTheRunWithItsText) {
    const FirmwareCallCache saved = firmwareCalls;
    firmwareCalls.getVariableEx = &ThrowingFirmwareRead;
    const int exitCode = Run();
    firmwareCalls = saved;
    EXPECT_EQ(exitCode, kExitFatalError);
    EXPECT_EQ(output_, std::string(kBanner) + "FATAL ERROR: Exception occurred - std::bad_alloc\n");
}

TEST_F(RunTest, SettledRegistryRecordStopsTheRunWithoutWriting) {
    UseSample("vantrel-notebook-no-efi");
    SettleInRegistry(3);
    const auto storeBefore = machine_.ReadFile(kKeyFile);
    EXPECT_EQ(Run({L"/DEBUG"}), 0);
    EXPECT_EQ(output_, std::string(kBanner) +
                           "Patch was previously run on Tue Mar 16 08:05:09 2021\n"
                           "Previous status code: 3\n\n");
    EXPECT_EQ(machine_.ReadFile(kKeyFile), storeBefore);
}

TEST_F(RunTest, ForceGoesPastASettledRecordToThePatch) {
    UseSample("no-bios-namespace");
    SettleInRegistry(0);
    // Without the vendor namespace the setting read raises the COM error: proof that the run
    // went on, and nothing is persisted.
    EXPECT_EQ(Run({L"/debug", L"/force"}), 33);
    EXPECT_EQ(output_, std::string(kBanner) +
                           "Patch was previously run on Tue Mar 16 08:05:09 2021\n"
                           "Previous status code: 0\n\n"
                           "FATAL ERROR: Application terminated abnormally\n");
    EXPECT_TRUE(RunStatusRecord::Instance().force);
    ToolKey key;
    EXPECT_EQ(key.GetDword(L"Status"), 0u);
}

TEST_F(RunTest, FirstRunThatFailsKeepsDateRunButNoStatus) {
    UseSample("no-bios-namespace");
    EXPECT_EQ(Run(), 33);
    EXPECT_EQ(output_, std::string(kBanner) + "FATAL ERROR: Application terminated abnormally\n");
    ToolKey key;
    EXPECT_EQ(key.GetQword(L"DateRun"), launchTime);
    EXPECT_EQ(key.GetDword(L"Status"), std::nullopt);
}

TEST_F(RunTest, QualifyingNotebookIsPatchedAndBothRecordsAreWritten) {
    UseSample("vantrel-notebook");
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(output_, std::string(kBanner) + "Patch successfully applied\n");
    EXPECT_EQ(RunStatusRecord::Instance().statusCode, 0);
    EXPECT_EQ(machine_.ReadFile(kVariableFile), VariableFile(0));
    ToolKey key;
    EXPECT_EQ(key.GetDword(L"Status"), 0u);
    EXPECT_EQ(key.GetQword(L"DateRun"), launchTime);
}

TEST_F(RunTest, RefusedWriteIsRecordedAndExitsWithZero) {
    UseSample("write-refused");
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(RunStatusRecord::Instance().statusCode, 36);
    EXPECT_EQ(machine_.ReadFile(kVariableFile), VariableFile(36));
    ToolKey key;
    EXPECT_EQ(key.GetDword(L"Status"), 36u);
}

TEST_F(RunTest, FirmwareRecordOfASettledRunStopsTheNextRun) {
    UseSample("vantrel-notebook");
    machine_.WriteFile(kVariableFile, VariableFile(0));
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(output_, std::string(kBanner) + "Previous status code (from EFI variable): 0\n" +
                           "Patch was previously run on " + ToUtf8(FormatRunDate(launchTime)) +
                           "\n\n");
    // A registry without "Status" (a reinstalled system) takes the firmware record's status and
    // run time, so that detection sees the machine as done; the variable stays as it was.
    EXPECT_EQ(machine_.ReadFile(kVariableFile), VariableFile(0));
    ToolKey key;
    EXPECT_EQ(key.GetQword(L"DateRun"), launchTime);
    EXPECT_EQ(key.GetDword(L"Status"), 0u);
}

// A run killed between the firmware record and the registry's left an unsettled "Status" (36)
// against a settled firmware record: the registry follows the firmware, keeping its "DateRun".
TEST_F(RunTest, SettledFirmwareRecordMendsAnUnsettledStatus) {
    UseSample("vantrel-notebook");
    machine_.WriteFile(kVariableFile, VariableFile(7));
    {
        ToolKey key;
        key.SetQword(L"DateRun", 1234);
        key.SetDword(L"Status", 36);
    }
    EXPECT_EQ(Run(), 0);
    ToolKey key;
    EXPECT_EQ(key.GetQword(L"DateRun"), 1234);
    EXPECT_EQ(key.GetDword(L"Status"), 7u);
}

// A forced run goes on past the firmware record: the registry gets this run's own status.
TEST_F(RunTest, ForcedRunRestoresNothingFromTheFirmwareRecord) {
    UseSample("enhanced-authentication");
    machine_.WriteFile(kVariableFile, VariableFile(0));
    {
        ToolKey key;
        key.SetQword(L"DateRun", 1234);
        key.SetDword(L"Status", 36);
    }
    EXPECT_EQ(Run({L"/FORCE"}), 0);
    ToolKey key;
    EXPECT_EQ(key.GetQword(L"DateRun"), 1234);
    EXPECT_EQ(key.GetDword(L"Status"), 8u);
}

// A stopped run used to keep every later run waiting for ever.
TEST_F(RunTest, RunLockHeldByAStoppedProcessEndsTheRunAsBusyHavingWrittenNothing) {
    UseSample("vantrel-notebook");
    machine_.MakeFolder("run");
    StoppedLockHolder holder(machine_.Path("run/cellkeeper-patch.lock"));
    ASSERT_TRUE(holder.held());
    // EX_TEMPFAIL: a deployment tool tries again later.
    EXPECT_EQ(Run({}, /*lockWaitMilliseconds=*/200), 75);
    EXPECT_EQ(output_,
              std::string(kBanner) + "FATAL ERROR: Another run of the patch is in progress\n");
    EXPECT_FALSE(machine_.ReadFile(kKeyFile));
    EXPECT_FALSE(machine_.ReadFile(kVariableFile));

    // A holder that dies leaves the lock free.
    holder.Kill();
    output_.clear();
    EXPECT_EQ(Run({}, /*lockWaitMilliseconds=*/200), 0);
    EXPECT_EQ(output_, std::string(kBanner) + "Patch successfully applied\n");
}

}  // namespace
