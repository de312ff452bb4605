// The run status record on the Linux layer's own registry store and efivarfs. Each test runs in
// a process of its own, so the process-wide record and the firmware call cache start empty.
#include "app/privilege.h"
#include "record/firmware_calls.h"
#include "record/run_date.h"
#include "record/run_status_record.h"
#include "support/firmware_variable_file.h"
#include "support/machine_paths.h"
#include "support/machine_tree.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

// The variable file holds this run's record with `statusCode`, and it reads back as written.
void ExpectVariableOfThisRun(const MachineTree& machine, RunStatusRecord& record,
                             std::uint32_t statusCode) {
    EXPECT_EQ(machine.ReadFile(kVariableFile), VariableFile(statusCode));
    EXPECT_EQ(record.ReadFirmwareRecord(), ThisRunsRecord(statusCode));
}

TEST(RunStatusRecordPosixTest, InstanceIsCreatedOnceOnTheToolKey) {
    MachineTree machine;
    RunStatusRecord& first = RunStatusRecord::Instance();
    EXPECT_EQ(&first, &RunStatusRecord::Instance());
    EXPECT_EQ(first.statusCode, 1);
    EXPECT_FALSE(first.force);
    EXPECT_EQ(first.registryKey.lastError, 0);
    EXPECT_TRUE(first.registryKey.handle);
    EXPECT_EQ(first.registryKey.subkeyName, L"Vantrel Cellkeeper Patch");
    // The new key's file is made at the next durable point.
    ASSERT_EQ(RegFlushKey(first.registryKey.handle.get()), 0);
    EXPECT_TRUE(std::filesystem::exists(machine.Path(kKeyFile)));
}

TEST(RunStatusRecordPosixTest, BrokenStoreIsReportedNotReplaced) {
    MachineTree machine;
    machine.WriteFile(kKeyFile, "garbage");
    RunStatusRecord record;
    EXPECT_EQ(record.registryKey.lastError, ERROR_REGISTRY_CORRUPT);
    EXPECT_FALSE(record.registryKey.handle);
    EXPECT_EQ(machine.ReadFile(kKeyFile), "garbage");
}

TEST(RunStatusRecordPosixTest, PersistWritesTheVariableThroughEfivarfs) {
    MachineTree machine;
    machine.MakeFolder("sys/firmware/efi/efivars");
    EnableSystemEnvironmentPrivilege();
    RunStatusRecord record;
    record.statusCode = 9;
    EXPECT_TRUE(record.Persist());
    // The extended calls were found in the layer's kernel32.
    EXPECT_NE(firmwareCalls.getVariableEx, nullptr);
    EXPECT_NE(firmwareCalls.setVariableEx, nullptr);

    ExpectVariableOfThisRun(machine, record, 9);
}

TEST(RunStatusRecordPosixTest, RecordOfAttributesFiveIsReplacedThroughEfivarfs) {
    MachineTree machine;
    FirmwareRunRecord earlier;
    earlier.recordSize = 24;
    earlier.version = 1;
    earlier.runTime = 1615881909;
    const FirmwareRunRecord::Bytes earlierBytes = earlier.Serialize();
    machine.WriteFile(kVariableFile, std::string("\x05\x00\x00\x00", 4) +
                                         std::string(earlierBytes.begin(), earlierBytes.end()));
    EnableSystemEnvironmentPrivilege();
    RunStatusRecord record;
    record.statusCode = 36;
    EXPECT_TRUE(record.Persist());
    const std::string variable = machine.ReadFile(kVariableFile).value_or("");
    EXPECT_EQ(variable.substr(0, 4), std::string("\x07\x00\x00\x00", 4));
    FirmwareRunRecord expected = earlier;
    expected.runTime = launchTime;
    expected.statusCode = 36;
    EXPECT_EQ(record.ReadFirmwareRecord(), expected);
}

// Older systems lack the extended calls: the plain ones write the variable, with the
// firmware's default attributes, and read it back.
TEST(RunStatusRecordPosixTest, PlainFirmwareCallsServeWhenTheExtendedOnesAreMissing) {
    MachineTree machine;
    machine.MakeFolder("sys/firmware/efi/efivars");
    EnableSystemEnvironmentPrivilege();
    firmwareCalls =
        FirmwareCallCache{.getVariableEx = nullptr, .setVariableEx = nullptr, .lookedUp = true};
    RunStatusRecord record;
    record.statusCode = 9;
    EXPECT_TRUE(record.Persist());
    EXPECT_EQ(firmwareCalls.getVariableEx, nullptr);

    ExpectVariableOfThisRun(machine, record, 9);
}

TEST(RunStatusRecordPosixTest, WithoutThePrivilegeOnlyTheRegistryIsWritten) {
    MachineTree machine;
    machine.MakeFolder("sys/firmware/efi/efivars");
    RunStatusRecord record;
    record.statusCode = 0;
    EXPECT_FALSE(record.Persist());
    EXPECT_EQ(record.registryKey.lastError, 0);
    EXPECT_FALSE(std::filesystem::exists(machine.Path(kVariableFile)));
}

}  // namespace
