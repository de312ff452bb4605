// The rights that a privileged run gives what it creates, and the checks of folders and files
// that it finds, through the seam that takes the facts as arguments: Wine neither enforces
// rights nor gives files other owners, so the decisions are tested on given facts here.
#include "app/log_folder.h"
#include "app/log_folder_rights.h"
#include "app/security_descriptor.h"
#include "support/table_case.h"

#include <gtest/gtest.h>

#include <aclapi.h>
#include <sddl.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

struct Entry {
    WELL_KNOWN_SID_TYPE sid;
    ACCESS_MASK mask;
    BYTE flags;
};

// The DACL's entries as (trustee, rights, inheritance), all of them allowing.
std::vector<Entry> Entries(const SecurityDescriptor& descriptor,
                           const std::vector<WELL_KNOWN_SID_TYPE>& known) {
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    EXPECT_NE(GetSecurityDescriptorDacl(descriptor.get(), &present, &dacl, &defaulted), FALSE);
    EXPECT_TRUE(present != FALSE && dacl != nullptr);
    std::vector<Entry> entries;
    for (DWORD i = 0; dacl != nullptr && i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        EXPECT_NE(GetAce(dacl, i, &ace), FALSE);
        auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
        EXPECT_EQ(allowed->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
        Entry entry{WinNullSid, allowed->Mask, allowed->Header.AceFlags};
        for (const WELL_KNOWN_SID_TYPE type : known) {
            if (IsWellKnownSid(&allowed->SidStart, type) != FALSE) entry.sid = type;
        }
        entries.push_back(entry);
    }
    return entries;
}

bool IsProtected(const SecurityDescriptor& descriptor) {
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    EXPECT_NE(GetSecurityDescriptorControl(descriptor.get(), &control, &revision), FALSE);
    return (control & SE_DACL_PROTECTED) != 0;
}

const std::vector<WELL_KNOWN_SID_TYPE> kKnown = {WinLocalSystemSid, WinBuiltinAdministratorsSid,
                                                 WinBuiltinUsersSid, WinWorldSid};

TEST(SecurityDescriptorTest, LogFoldersGiveUsersReadOnlyAndInheritNothing) {
    const SecurityDescriptor descriptor = LogFolderDescriptor();
    ASSERT_TRUE(descriptor);
    EXPECT_TRUE(IsProtected(descriptor));
    const std::vector<Entry> entries = Entries(descriptor, kKnown);
    ASSERT_EQ(entries.size(), 3u);
    const BYTE inherited = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
    EXPECT_EQ(entries[0].sid, WinLocalSystemSid);
    EXPECT_EQ(entries[0].mask, FILE_ALL_ACCESS);
    EXPECT_EQ(entries[0].flags, inherited);
    EXPECT_EQ(entries[1].sid, WinBuiltinAdministratorsSid);
    EXPECT_EQ(entries[1].mask, FILE_ALL_ACCESS);
    EXPECT_EQ(entries[1].flags, inherited);
    EXPECT_EQ(entries[2].sid, WinBuiltinUsersSid);
    // Read and list, nothing that writes, deletes or changes rights.
    EXPECT_EQ(entries[2].mask, FILE_GENERIC_READ | FILE_GENERIC_EXECUTE);
    EXPECT_EQ(entries[2].mask & (FILE_WRITE_DATA | FILE_APPEND_DATA | DELETE | WRITE_DAC |
                                 WRITE_OWNER | FILE_DELETE_CHILD),
              0u);
    EXPECT_EQ(entries[2].flags, inherited);
}

TEST(SecurityDescriptorTest, RunLockAdmitsSystemAndAdministratorsOnly) {
    const SecurityDescriptor descriptor = AdministratorsOnlyDescriptor();
    ASSERT_TRUE(descriptor);
    EXPECT_TRUE(IsProtected(descriptor));
    const std::vector<Entry> entries = Entries(descriptor, kKnown);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].sid, WinLocalSystemSid);
    EXPECT_EQ(entries[1].sid, WinBuiltinAdministratorsSid);
}

struct OwnerCase {
    const char* name;
    const wchar_t* sid = L"";  // SDDL form
    bool trusted = false;
};
using ::PrintTo;

// A SID made from its text form, released with LocalFree.
struct SidMemory {
    PSID sid = nullptr;
    SidMemory() = default;
    SidMemory(const SidMemory&) = delete;
    SidMemory& operator=(const SidMemory&) = delete;
    ~SidMemory() { LocalFree(sid); }
};

class OwnerTest : public testing::TestWithParam<OwnerCase> {};

TEST_P(OwnerTest, OnlySystemOrAdministratorsMayOwnTheLogFolder) {
    SidMemory owner;
    ASSERT_NE(ConvertStringSidToSidW(GetParam().sid, &owner.sid), FALSE);
    EXPECT_EQ(IsTrustedOwner(owner.sid), GetParam().trusted);
    // The run as another account: only SYSTEM and Administrators count.
    SidMemory account;
    ASSERT_NE(
        ConvertStringSidToSidW(L"S-1-5-21-1004336348-1177238915-682003330-1002", &account.sid),
        FALSE);
    const std::string refusal =
        LogFolderRefusal(L"C:\\ProgramData\\Vantrel", FILE_ATTRIBUTE_DIRECTORY, owner.sid,
                         account.sid, /*opened=*/true, /*othersMayWrite=*/false);
    EXPECT_EQ(refusal.empty(), GetParam().trusted) << refusal;
}

INSTANTIATE_TEST_SUITE_P(
    Owners, OwnerTest,
    testing::Values(OwnerCase{.name = "System", .sid = L"S-1-5-18", .trusted = true},
                    OwnerCase{.name = "Administrators", .sid = L"S-1-5-32-544", .trusted = true},
                    OwnerCase{.name = "Users", .sid = L"S-1-5-32-545", .trusted = false},
                    OwnerCase{.name = "Everyone", .sid = L"S-1-1-0", .trusted = false},
                    OwnerCase{.name = "AnAdministratorAccount",
                              .sid = L"S-1-5-21-1004336348-1177238915-682003330-500",
                              .trusted = false},
                    OwnerCase{.name = "AStandardUser",
                              .sid = L"S-1-5-21-1004336348-1177238915-682003330-1001",
                              .trusted = false}),
    CaseName());

TEST(RunAccountTest, MayOwnTheLogFolder) {
    const RunAccount account;
    ASSERT_NE(account.get(), nullptr);
    EXPECT_TRUE(IsTrustedOwner(account.get(), account.get()));
    Sid users = WellKnownSid(WinBuiltinUsersSid);
    EXPECT_FALSE(IsTrustedOwner(users.get(), account.get()));
}

struct FolderCase {
    const char* name;
    DWORD attributes = FILE_ATTRIBUTE_DIRECTORY;
    bool opened = true;
    bool othersMayWrite = false;
    const char* refusal = "";  // "" when the folder may hold the log
};

class FolderTest : public testing::TestWithParam<FolderCase> {};

TEST_P(FolderTest, RefusesWhatCouldLeadElsewhere) {
    Sid system = WellKnownSid(WinLocalSystemSid);
    const std::string refusal =
        LogFolderRefusal(L"C:\\ProgramData\\Vantrel", GetParam().attributes, system.get(),
                         /*runAccount=*/nullptr, GetParam().opened, GetParam().othersMayWrite);
    EXPECT_EQ(refusal,
              *GetParam().refusal == '\0'
                  ? std::string()
                  : std::string("No run log: C:\\ProgramData\\Vantrel ") + GetParam().refusal);
}

INSTANTIATE_TEST_SUITE_P(Folders, FolderTest,
                         testing::Values(FolderCase{.name = "PlainFolder"},
                                         FolderCase{.name = "Junction",
                                                    .attributes = FILE_ATTRIBUTE_DIRECTORY |
                                                                  FILE_ATTRIBUTE_REPARSE_POINT,
                                                    .refusal = "is a link"},
                                         FolderCase{.name = "File",
                                                    .attributes = FILE_ATTRIBUTE_ARCHIVE,
                                                    .refusal = "is not a folder"},
                                         FolderCase{.name = "WritableByOthers",
                                                    .othersMayWrite = true,
                                                    .refusal = "lets users other than SYSTEM and "
                                                               "Administrators write into it"},
                                         FolderCase{.name = "Unreadable",
                                                    .attributes = 0,
                                                    .opened = false,
                                                    .refusal = "cannot be checked"}),
                         CaseName());

TEST(LogFileTest, RefusesLinksFoldersSecondNamesAndOtherOwners) {
    const std::wstring file = L"C:\\ProgramData\\Vantrel\\Cellkeeper Patch\\cellkeeper-patch.log";
    const std::string prefix =
        "No run log: C:\\ProgramData\\Vantrel\\Cellkeeper Patch\\cellkeeper-patch.log ";
    EXPECT_EQ(LogFileRefusal(file, FILE_ATTRIBUTE_ARCHIVE, 1, /*ownerTrusted=*/true), "");
    EXPECT_EQ(LogFileRefusal(file, FILE_ATTRIBUTE_REPARSE_POINT, 1, true), prefix + "is a link");
    EXPECT_EQ(LogFileRefusal(file, FILE_ATTRIBUTE_DIRECTORY, 1, true),
              prefix + "is not a regular file");
    EXPECT_EQ(LogFileRefusal(file, FILE_ATTRIBUTE_ARCHIVE, 2, true),
              prefix + "has more than one name (a hard link)");
    // A standard user made it first.
    EXPECT_EQ(LogFileRefusal(file, FILE_ATTRIBUTE_ARCHIVE, 1, /*ownerTrusted=*/false),
              prefix + "is not owned by SYSTEM, Administrators or this account");
}

struct FolderRightsCase {
    const char* name;
    const wchar_t* sddl = L"";
    bool othersMayWrite = false;
    // The folder's write rights, or every right for the setup password's file, which no one
    // else may even read.
    std::uint32_t rights = kFolderWriteRights;
};

class FolderRightsTest : public testing::TestWithParam<FolderRightsCase> {};

// The entries of real descriptors, read from the descriptor as Windows keeps it.
TEST_P(FolderRightsTest, AnyOfTheRightsForAnotherSidRefuses) {
    PSECURITY_DESCRIPTOR raw = nullptr;
    ASSERT_NE(ConvertStringSecurityDescriptorToSecurityDescriptorW(GetParam().sddl, SDDL_REVISION_1,
                                                                   &raw, nullptr),
              FALSE);
    const SecurityDescriptor descriptor(raw);
    const RunAccount account;
    EXPECT_EQ(DescriptorGivesOthers(descriptor.get(), account.get(), GetParam().rights),
              GetParam().othersMayWrite);
}

// A present but null access list lets everyone do everything. Made by hand: Wine's SDDL parser
// gives an empty list for "NO_ACCESS_CONTROL".
TEST(FolderRightsTest, NullAccessListRefusesTheFolder) {
    SECURITY_DESCRIPTOR descriptor{};
    ASSERT_NE(InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION), FALSE);
    ASSERT_NE(SetSecurityDescriptorDacl(&descriptor, /*bDaclPresent=*/TRUE, /*pDacl=*/nullptr,
                                        /*bDaclDefaulted=*/FALSE),
              FALSE);
    EXPECT_TRUE(FolderLetsOthersWrite(&descriptor, /*runAccount=*/nullptr));
}

INSTANTIATE_TEST_SUITE_P(
    Descriptors, FolderRightsTest,
    testing::Values(
        FolderRightsCase{.name = "OwnLogFolder",
                         .sddl = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FRFX;;;BU)"},
        // ProgramData's own list, as an older version's folder inherits it: Users may create
        // files and folders there (0x116: add file, add folder, write attributes and EAs).
        FolderRightsCase{.name = "InheritedFromProgramData",
                         .sddl = L"D:AI(A;OICIID;FA;;;SY)(A;OICIID;FA;;;BA)(A;OICIIOID;GA;;;CO)"
                                 L"(A;OICIID;0x1200a9;;;BU)(A;CIID;0x116;;;BU)",
                         .othersMayWrite = true},
        FolderRightsCase{.name = "CreatorOwnerOnly",
                         .sddl = L"D:P(A;OICI;FA;;;SY)(A;OICIIO;GA;;;CO)"},
        // An entry that passes only to what is made inside still gives the log file away.
        FolderRightsCase{.name = "InheritOnlyWriteForUsers",
                         .sddl = L"D:P(A;OICI;FA;;;SY)(A;OIIO;FW;;;BU)",
                         .othersMayWrite = true},
        FolderRightsCase{.name = "EveryoneMayDelete",
                         .sddl = L"D:P(A;OICI;FA;;;SY)(A;;SD;;;WD)",
                         .othersMayWrite = true},
        FolderRightsCase{.name = "UsersMayChangeTheRights",
                         .sddl = L"D:P(A;OICI;FA;;;SY)(A;;WD;;;BU)",
                         .othersMayWrite = true},
        // A deny entry does not make an allow entry safe: their order decides, not the check.
        FolderRightsCase{.name = "DenyBeforeAllow",
                         .sddl = L"D:P(D;;FW;;;BU)(A;OICI;FA;;;SY)(A;;FW;;;BU)",
                         .othersMayWrite = true},
        FolderRightsCase{.name = "NoAccessList", .sddl = L"O:SY", .othersMayWrite = true},
        // The setup password's file.
        FolderRightsCase{.name = "SecretForAdministratorsOnly",
                         .sddl = L"D:P(A;;FA;;;SY)(A;;FA;;;BA)",
                         .rights = kAnyRights},
        FolderRightsCase{.name = "SecretUsersMayRead",
                         .sddl = L"D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;FR;;;BU)",
                         .othersMayWrite = true,
                         .rights = kAnyRights},
        FolderRightsCase{.name = "SecretInheritedUsersRead",
                         .sddl = L"D:AI(A;ID;FA;;;SY)(A;ID;FA;;;BA)(A;ID;0x1200a9;;;BU)",
                         .othersMayWrite = true,
                         .rights = kAnyRights},
        FolderRightsCase{.name = "SecretEveryoneMayReadItsRights",
                         .sddl = L"D:P(A;;FA;;;SY)(A;;RC;;;WD)",
                         .othersMayWrite = true,
                         .rights = kAnyRights},
        FolderRightsCase{.name = "SecretWithoutAccessList",
                         .sddl = L"O:SY",
                         .othersMayWrite = true,
                         .rights = kAnyRights}),
    CaseName());

}  // namespace
