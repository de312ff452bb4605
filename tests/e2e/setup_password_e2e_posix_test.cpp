// A BIOS setup password supplied by the administrator, on machine trees: it lets a machine with
// a setup password be patched, a refusal settles with status 10 and is never tried again
// without /FORCE, an unusable file ends the run before the firmware is touched, and the
// password appears nowhere.
#include "support/machine_paths.h"
#include "support/machine_tree.h"
#include "support/program_run.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>

namespace {

namespace fs = std::filesystem;

constexpr const char* kPassword = "Adm1n-S3cret";
constexpr const char* kCurrentPassword =
    "sys/class/firmware-attributes/vantrel-wmi/authentication/Setup Password/current_password";
constexpr const char* kNew = "Let Vantrel manage my battery charging";

class SetupPasswordE2eTest : public testing::Test {
  protected:
    void SetUp() override {
        if (geteuid() != 0) GTEST_SKIP() << "only a file of root's holds a password";
        machine_.CopyTree(SampleMachine("setup-password"), "");
        machine_.MakeFolder("var/log");
        WritePasswordFile(0600);
    }

    void WritePasswordFile(mode_t mode) {
        secrets_.WriteFile("setup-password", std::string(kPassword) + "\n");
        ASSERT_EQ(chmod(PasswordFile().c_str(), mode), 0);
    }
    std::string PasswordFile() const { return secrets_.Path("setup-password").string(); }
    std::string Option() const { return "'/PASSWORDFILE:" + PasswordFile() + "'"; }

    // Not a byte of the password anywhere in the machine (the store, the variable, the log,
    // the device's files) nor in what the run printed.
    void ExpectNoTraceOfThePassword(const std::string& output) {
        EXPECT_EQ(output.find(kPassword), std::string::npos) << output;
        for (const auto& [path, bytes] : machine_.Snapshot()) {
            EXPECT_EQ(bytes.find(kPassword), std::string::npos) << path;
        }
    }

    MachineTree secrets_;  // a folder of its own, away from the machine root
    MachineTree machine_;
};

TEST_F(SetupPasswordE2eTest, SuppliedPasswordPatchesAMachineWithASetupPassword) {
    const ProgramOutcome outcome = RunProgram(Option() + " /EXITSTATUS");
    EXPECT_EQ(outcome.exitCode, 0) << outcome.output;
    EXPECT_NE(outcome.output.find("Patch successfully applied"), std::string::npos);
    EXPECT_EQ(machine_.ReadFile(kCellkeeperFile), kNew);
    // Sent, then taken back from the driver.
    EXPECT_EQ(machine_.ReadFile(kCurrentPassword), "\n");
    EXPECT_NE(
        machine_.ReadFile(kLogFile).value_or("").find("setup password: supplied from the file " +
                                                      PasswordFile() + ", sent with the write"),
        std::string::npos);
    ExpectNoTraceOfThePassword(outcome.output);
}

TEST_F(SetupPasswordE2eTest, RefusedPasswordSettlesWithStatus10AndIsNotTriedAgain) {
    // The driver refuses the password: its current_password cannot be written.
    fs::remove(machine_.Path(kCurrentPassword));
    machine_.MakeFolder(kCurrentPassword);
    const ProgramOutcome refused = RunProgram(Option() + " /EXITSTATUS");
    EXPECT_EQ(refused.exitCode, 10) << refused.output;
    EXPECT_NE(refused.output.find("Error setting 'Cellkeeper' to '" + std::string(kNew) +
                                  "'\n"
                                  "Wmi Error code: "),
              std::string::npos)
        << refused.output;
    EXPECT_NE(machine_.ReadFile(kKeyFile).value_or("").find("\"Status\"=dword:0000000a"),
              std::string::npos);

    // Every later run stops at the record: the firmware is never asked again.
    fs::remove(machine_.Path(kCurrentPassword));
    machine_.WriteFile(kCurrentPassword, "untouched\n");
    for (int run = 0; run < 3; ++run) {
        const ProgramOutcome later = RunProgram(Option() + " /EXITSTATUS");
        EXPECT_EQ(later.exitCode, 10) << later.output;
        EXPECT_NE(later.output.find("Previous status code (from EFI variable): 10"),
                  std::string::npos)
            << later.output;
    }
    EXPECT_EQ(machine_.ReadFile(kCurrentPassword), "untouched\n");
    ExpectNoTraceOfThePassword(refused.output);

    // /FORCE tries once more.
    EXPECT_EQ(RunProgram(Option() + " /FORCE").exitCode, 0);
    EXPECT_EQ(machine_.ReadFile(kCellkeeperFile), kNew);
}

TEST_F(SetupPasswordE2eTest, UnsafeFileEndsTheRunBeforeTheFirmwareIsTouched) {
    WritePasswordFile(0644);
    const std::map<std::string, std::string> device =
        machine_.Snapshot("sys/class/firmware-attributes");
    const ProgramOutcome outcome = RunProgram(Option());
    EXPECT_EQ(outcome.exitCode, 33) << outcome.output;
    EXPECT_NE(outcome.output.find("FATAL ERROR: Unable to use the setup password: the file " +
                                  PasswordFile() + " may be read or written by others than root"),
              std::string::npos)
        << outcome.output;
    EXPECT_EQ(machine_.Snapshot("sys/class/firmware-attributes"), device);
    // No status: the next run, with the file mended, goes on.
    EXPECT_EQ(machine_.ReadFile(kKeyFile).value_or("").find("\"Status\""), std::string::npos);
    ExpectNoTraceOfThePassword(outcome.output);
    WritePasswordFile(0600);
    EXPECT_EQ(RunProgram(Option() + " /EXITSTATUS").exitCode, 0);
}

// A firmware that takes passwords only as keyboard codes (two hexadecimal digits a character)
// would get another password for one beyond U+00FF: it is not sent at all, so no attempt is
// counted, and the run ends without a status.
TEST_F(SetupPasswordE2eTest, PasswordTheKeyboardFormCannotCarryIsNeverSent) {
    machine_.WriteAttribute(
        "sys/class/firmware-attributes/vantrel-wmi/authentication/Setup Password/encodings", "kbd");
    machine_.WriteFile(kCurrentPassword, "untouched\n");
    secrets_.WriteFile("setup-password", "Adm1n-\xE2\x82\xAC\n");  // a euro sign
    ASSERT_EQ(chmod(PasswordFile().c_str(), 0600), 0);
    const ProgramOutcome outcome = RunProgram(Option());
    EXPECT_EQ(outcome.exitCode, 33) << outcome.output;
    EXPECT_NE(outcome.output.find("FATAL ERROR: Unable to use the setup password: the firmware "
                                  "takes it only as keyboard codes"),
              std::string::npos)
        << outcome.output;
    EXPECT_EQ(machine_.ReadFile(kCurrentPassword), "untouched\n");
    EXPECT_EQ(machine_.ReadFile(kKeyFile).value_or("").find("\"Status\""), std::string::npos);
}

TEST_F(SetupPasswordE2eTest, MachineWithoutASetupPasswordNeverGetsOne) {
    MachineTree notebook;
    notebook.CopyTree(SampleMachine("vantrel-notebook"), "");
    notebook.MakeFolder("var/log");
    const std::string current =
        "sys/class/firmware-attributes/vantrel-wmi/authentication/Setup Password/"
        "current_password";
    notebook.WriteFile(current, "untouched\n");
    const ProgramOutcome outcome = RunProgram(Option());
    EXPECT_EQ(outcome.exitCode, 0) << outcome.output;
    EXPECT_EQ(notebook.ReadFile(kCellkeeperFile), kNew);
    EXPECT_EQ(notebook.ReadFile(current), "untouched\n");
    EXPECT_NE(notebook.ReadFile(kLogFile).value_or("").find(", not sent: no write needed it"),
              std::string::npos);
}

TEST_F(SetupPasswordE2eTest, CheckCountsTheSuppliedPasswordAndNamesAnUnusableOne) {
    const ProgramOutcome supplied = RunProgram("/CHECK " + Option());
    EXPECT_EQ(supplied.exitCode, 1) << supplied.output;
    EXPECT_NE(supplied.output.find(R"("statusCode":0,)"), std::string::npos) << supplied.output;
    ExpectNoTraceOfThePassword(supplied.output);

    WritePasswordFile(0640);
    const ProgramOutcome unusable = RunProgram("/CHECK " + Option());
    EXPECT_EQ(unusable.exitCode, 3) << unusable.output;
    EXPECT_NE(unusable.output.find(R"("unreadable":["setup password: the file )"),
              std::string::npos)
        << unusable.output;
}

}  // namespace
