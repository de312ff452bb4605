// The Linux rule for the setup password's file and the systemd credential.
#include "app/setup_password.h"
#include "support/machine_tree.h"
#include "support/table_case.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

using Layout = void (*)(const MachineTree& tree);

struct FileCase {
    const char* name;
    Layout layout = nullptr;  // lays out "password" (a good file before it runs)
    std::string refusal = "";
    bool needsRoot = false;
};
using ::PrintTo;

void Mode(const MachineTree& tree, mode_t mode) {
    ASSERT_EQ(chmod(tree.Path("password").c_str(), mode), 0);
}

class PasswordFilePosixTest : public testing::TestWithParam<FileCase> {};

TEST_P(PasswordFilePosixTest, TrustsOnlyARootFileNoOneElseCanReach) {
    const FileCase& c = GetParam();
    if (c.needsRoot && geteuid() != 0) GTEST_SKIP() << "needs root to give the file away";
    MachineTree tree;
    tree.WriteFile("password", "S3cret\n");
    Mode(tree, 0600);
    if (c.layout) c.layout(tree);
    const std::string path = tree.Path("password").string();
    const PasswordReading reading =
        ReadSetupPassword({PasswordSource::Kind::kFile, std::wstring(path.begin(), path.end())});
    if (c.refusal.empty()) {
        if (geteuid() != 0) GTEST_SKIP() << "only root's own file is trusted";
        EXPECT_EQ(reading.refusal, "");
        EXPECT_EQ(reading.password.text(), L"S3cret");
    } else {
        EXPECT_EQ(reading.refusal, "the file " + path + " " + c.refusal);
        EXPECT_TRUE(reading.password.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, PasswordFilePosixTest,
    testing::Values(
        FileCase{.name = "Mode0600"},
        FileCase{.name = "Mode0400",
                 .layout = [](const MachineTree& machine) { Mode(machine, 0400); }},
        FileCase{.name = "GroupMayRead",
                 .layout = [](const MachineTree& machine) { Mode(machine, 0640); },
                 .refusal = "may be read or written by others than root (its mode must be 0600 "
                            "or stricter)"},
        FileCase{.name = "OthersMayRead",
                 .layout = [](const MachineTree& machine) { Mode(machine, 0604); },
                 .refusal = "may be read or written by others than root (its mode must be 0600 "
                            "or stricter)"},
        FileCase{.name = "Link",
                 .layout =
                     [](const MachineTree& machine) {
                         fs::rename(machine.Path("password"), machine.Path("real"));
                         fs::create_symlink(machine.Path("real"), machine.Path("password"));
                     },
                 .refusal = "is a link"},
        FileCase{.name = "HardLink",
                 .layout =
                     [](const MachineTree& machine) {
                         fs::create_hard_link(machine.Path("password"), machine.Path("second"));
                     },
                 .refusal = "has more than one name (a hard link)"},
        FileCase{.name = "Folder",
                 .layout =
                     [](const MachineTree& machine) {
                         fs::remove(machine.Path("password"));
                         machine.MakeFolder("password");
                     },
                 .refusal = "is not a regular file"},
        FileCase{.name = "Fifo",
                 .layout =
                     [](const MachineTree& machine) {
                         fs::remove(machine.Path("password"));
                         ASSERT_EQ(mkfifo(machine.Path("password").c_str(), 0600), 0);
                     },
                 .refusal = "is not a regular file"},
        FileCase{.name = "Missing",
                 .layout = [](const MachineTree& machine) { fs::remove(machine.Path("password")); },
                 .refusal = "does not exist"},
        FileCase{.name = "TooLarge",
                 .layout =
                     [](const MachineTree& machine) {
                         machine.WriteFile("password", std::string(2000, 'x'));
                         Mode(machine, 0600);
                     },
                 .refusal = "is too large for a password"},
        FileCase{.name = "Malformed",
                 .layout =
                     [](const MachineTree& machine) {
                         machine.WriteFile("password", "S3cret\nsecond line\n");
                         Mode(machine, 0600);
                     },
                 .refusal = "holds more than one line"},
        FileCase{.name = "AnotherOwner",
                 .layout =
                     [](const MachineTree& machine) {
                         ASSERT_EQ(chown(machine.Path("password").c_str(), 65534, 65534), 0);
                     },
                 .refusal = "is not owned by root",
                 .needsRoot = true}),
    CaseName());

// systemd hands a unit's credentials over in $CREDENTIALS_DIRECTORY; a file named on the command
// line comes first.
TEST(PasswordSourcePosixTest, CredentialWhenProvisionedAndNoFileIsNamed) {
    MachineTree tree;
    const char* previous = std::getenv("CREDENTIALS_DIRECTORY");
    const std::string saved = previous ? previous : "";
    ASSERT_EQ(setenv("CREDENTIALS_DIRECTORY", tree.Root().c_str(), 1), 0);
    EXPECT_EQ(FindPasswordSource({}).kind, PasswordSource::Kind::kNone);
    tree.WriteFile("cellkeeper-setup-password", "S3cret\n");
    const PasswordSource credential = FindPasswordSource({});
    EXPECT_EQ(credential.kind, PasswordSource::Kind::kCredential);
    EXPECT_EQ(credential.Describe(), "the credential cellkeeper-setup-password");
    const PasswordSource file = FindPasswordSource({.passwordFile = L"/etc/other"});
    EXPECT_EQ(file.kind, PasswordSource::Kind::kFile);
    EXPECT_EQ(file.Describe(), "the file /etc/other");
    if (previous) {
        setenv("CREDENTIALS_DIRECTORY", saved.c_str(), 1);
    } else {
        unsetenv("CREDENTIALS_DIRECTORY");
    }
}

}  // namespace
