// The Linux registry store itself: its files, their text, and what happens to them when they are
// damaged, shared between processes or protected.
#include "platform/owners.h"
#include "platform/platform.h"
#include "support/lock_holder.h"
#include "support/machine_paths.h"
#include "support/machine_tree.h"

#include <gtest/gtest.h>

#include <ostream>

#include <fcntl.h>
#include <grp.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

using ::PrintTo;

constexpr const char* kStoreFolder = "var/lib/cellkeeper-patch/registry/HKEY_LOCAL_MACHINE";
constexpr const char* kStoreLock = "var/lib/cellkeeper-patch/registry.lock";
constexpr const wchar_t* kKeyPath = L"SOFTWARE\\Vantrel\\Vantrel Cellkeeper Patch";
constexpr const char* kFileStart =
    "Windows Registry Editor Version 5.00\n\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vantrel\\Vantrel Cellkeeper Patch]\n";
constexpr REGSAM kAllAccess64 = KEY_ALL_ACCESS | KEY_WOW64_64KEY;
constexpr uid_t kNobody = 65534;

// Runs `body` in a child process and gives back its exit code (-1 when it did not exit).
int InChild(const std::function<int()>& body) {
    const pid_t child = fork();
    if (child == 0) _exit(body());
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

// Permission bits do not bind root, so a test that needs a refusal gives root up in its child.
bool BecomeUnprivileged() {
    if (geteuid() != 0) return true;
    return setgroups(0, nullptr) == 0 && setgid(kNobody) == 0 && setuid(kNobody) == 0;
}

class RegistryStoreTest : public testing::Test {
  protected:
    LSTATUS Open(UniqueKey& key, REGSAM access = kAllAccess64) {
        return RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKeyPath, 0, access, key.put());
    }
    LSTATUS Create(UniqueKey& key) {
        return RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                               kAllAccess64, nullptr, key.put(), nullptr);
    }
    static LSTATUS SetDword(HKEY key, const wchar_t* name, DWORD value) {
        return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                              sizeof value);
    }
    std::string KeyFileText() const { return machine_.ReadFile(kKeyFile).value_or("<missing>"); }

    MachineTree machine_;
};

struct FormCase {
    const char* name;
    std::wstring valueName = L"";
    DWORD type = REG_NONE;
    std::vector<BYTE> bytes = {};  // the data, unless the type is REG_SZ
    std::wstring text = L"";       // REG_SZ data, as wchar_t text
    DWORD size = 0;                // cbData as given to RegSetValueExW
    std::string line = "";         // the value's line in the file
};

// Test names carry the case; the bytes of the struct say nothing.

// REG_SZ sizes count UTF-16 code units.
DWORD Utf16BytesWithTerminator(const std::wstring& text) {
    DWORD units = 1;
    for (wchar_t c : text) units += c > 0xFFFF ? 2 : 1;
    return units * 2;
}

FormCase Text(const char* name, std::wstring text, std::string line) {
    const DWORD size = Utf16BytesWithTerminator(text);
    return {.name = name,
            .valueName = L"Name",
            .type = REG_SZ,
            .text = std::move(text),
            .size = size,
            .line = std::move(line)};
}

FormCase TextOfSize(const char* name, std::wstring text, DWORD size, std::string line) {
    return {.name = name,
            .valueName = L"Name",
            .type = REG_SZ,
            .text = std::move(text),
            .size = size,
            .line = std::move(line)};
}

FormCase Bytes(const char* name, std::wstring valueName, DWORD type, std::vector<BYTE> bytes,
               std::string line) {
    const auto size = static_cast<DWORD>(bytes.size());
    return {.name = name,
            .valueName = std::move(valueName),
            .type = type,
            .bytes = std::move(bytes),
            .size = size,
            .line = std::move(line)};
}

class RegistryFormTest : public RegistryStoreTest, public testing::WithParamInterface<FormCase> {};

TEST_P(RegistryFormTest, ValueIsWrittenInItsExportForm) {
    UniqueKey key;
    ASSERT_EQ(Create(key), ERROR_SUCCESS);
    const FormCase& c = GetParam();
    const BYTE* data =
        c.type == REG_SZ ? reinterpret_cast<const BYTE*>(c.text.c_str()) : c.bytes.data();
    ASSERT_EQ(RegSetValueExW(key.get(), c.valueName.c_str(), 0, c.type, data, c.size),
              ERROR_SUCCESS);
    ASSERT_EQ(RegFlushKey(key.get()), ERROR_SUCCESS);
    EXPECT_EQ(KeyFileText(), std::string(kFileStart) + c.line + "\n");
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Forms, RegistryFormTest, testing::Values(
    Text("QuotedText", L"say \"hi\" C:\\x", R"("Name"="say \"hi\" C:\\x")"),
    Text("EmptyText", L"", R"("Name"="")"),
    Text("TextBeyondTheBmp", L"\U0001F600", "\"Name\"=\"\xF0\x9F\x98\x80\""),
    Text("TextWithNewline", L"a\nb", R"("Name"=hex(1):61,00,0a,00,62,00,00,00)"),
    Text("TextWithDelete", L"a\x7f", R"("Name"=hex(1):61,00,7f,00,00,00)"),
    TextOfSize("TextWithoutTerminator", L"ab", 4, R"("Name"=hex(1):61,00,62,00)"),
    TextOfSize("TextOfOddSize", L"ab", 3, R"("Name"=hex(1):61,00,62)"),
    TextOfSize("TextWithInnerZero", std::wstring(L"a\0b", 3), 8,
               R"("Name"=hex(1):61,00,00,00,62,00,00,00)"),
    Bytes("Dword", L"Status", REG_DWORD, {0x2a, 0, 0, 0}, R"("Status"=dword:0000002a)"),
    Bytes("DwordAllBits", L"Status", REG_DWORD, {0xff, 0xff, 0xff, 0xff},
          R"("Status"=dword:ffffffff)"),
    Bytes("DwordOfEightBytes", L"Status", REG_DWORD, {1, 2, 3, 4, 5, 6, 7, 8},
          R"("Status"=hex(4):01,02,03,04,05,06,07,08)"),
    Bytes("Qword", L"DateRun", REG_QWORD, {0x2a, 0, 0, 0, 0, 0, 0, 0x80},
          R"("DateRun"=hex(b):2a,00,00,00,00,00,00,80)"),
    Bytes("NameWithQuoteAndBackslash", L"a\"b\\c", REG_DWORD, {1, 0, 0, 0},
          R"("a\"b\\c"=dword:00000001)"),
    Bytes("DefaultValue", L"", REG_DWORD, {1, 0, 0, 0}, "@=dword:00000001")),
    CaseName());
// clang-format on

TEST_F(RegistryStoreTest, ValuesOfEveryFormReadBackAndSurviveAnotherWrite) {
    const std::string unknownLines =
        "\"Binary\"=hex:01,02,ff\n"
        "\"None\"=hex(0):\n"
        "\"Expand\"=hex(2):25,00,41,00,25,00,00,00\n"
        "\"Multi\"=hex(7):61,00,00,00,62,00,00,00,00,00\n"
        "\"Big\"=hex(5):00,00,00,2a\n";
    machine_.WriteFile(kKeyFile, std::string(kFileStart) + "\"Text\"=\"x\\\\y\"\n" + unknownLines +
                                     "\"Wrapped\"=hex(b):2a,00,00,00,\\\n" + "  00,00,00,00\n");
    UniqueKey key;
    ASSERT_EQ(Open(key), ERROR_SUCCESS);

    wchar_t text[16] = {};
    DWORD size = sizeof text;
    ASSERT_EQ(RegGetValueW(key.get(), nullptr, L"Text", RRF_RT_REG_SZ, nullptr, text, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(std::wstring(text), L"x\\y");

    ULONGLONG wrapped = 0;
    size = sizeof wrapped;
    ASSERT_EQ(
        RegGetValueW(key.get(), nullptr, L"Wrapped", RRF_RT_REG_QWORD, nullptr, &wrapped, &size),
        ERROR_SUCCESS);
    EXPECT_EQ(wrapped, 42u);

    BYTE binary[8] = {};
    DWORD type = 0;
    size = sizeof binary;
    ASSERT_EQ(RegGetValueW(key.get(), nullptr, L"Binary", RRF_RT_ANY, &type, binary, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(size, 3u);
    EXPECT_EQ(binary[2], 0xff);

    ASSERT_EQ(SetDword(key.get(), L"Status", 0), ERROR_SUCCESS);
    ASSERT_EQ(RegFlushKey(key.get()), ERROR_SUCCESS);
    EXPECT_EQ(KeyFileText(), std::string(kFileStart) + "\"Text\"=\"x\\\\y\"\n" + unknownLines +
                                 "\"Wrapped\"=hex(b):2a,00,00,00,00,00,00,00\n"
                                 "\"Status\"=dword:00000000\n");
}

TEST_F(RegistryStoreTest, AValueKeepsTheNameItWasFirstWrittenWith) {
    UniqueKey key;
    ASSERT_EQ(Create(key), ERROR_SUCCESS);
    ASSERT_EQ(SetDword(key.get(), L"Status", 1), ERROR_SUCCESS);
    ASSERT_EQ(SetDword(key.get(), L"STATUS", 2), ERROR_SUCCESS);
    ASSERT_EQ(RegFlushKey(key.get()), ERROR_SUCCESS);
    EXPECT_EQ(KeyFileText(), std::string(kFileStart) + "\"Status\"=dword:00000002\n");
    // And once the value is in the file.
    ASSERT_EQ(SetDword(key.get(), L"STATUS", 3), ERROR_SUCCESS);
    ASSERT_EQ(RegFlushKey(key.get()), ERROR_SUCCESS);
    EXPECT_EQ(KeyFileText(), std::string(kFileStart) + "\"Status\"=dword:00000003\n");
}

TEST_F(RegistryStoreTest, CreatingAKeyGivesEveryKeyAboveItAFile) {
    UniqueKey key;
    ASSERT_EQ(Create(key), ERROR_SUCCESS);
    ASSERT_EQ(RegFlushKey(key.get()), ERROR_SUCCESS);
    EXPECT_EQ(KeyFileText(), kFileStart);
    EXPECT_EQ(machine_.ReadFile(std::string(kStoreFolder) + "/SOFTWARE/Vantrel.reg"),
              "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vantrel]\n");
    UniqueKey parent;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE", 0, KEY_READ, parent.put()),
              ERROR_SUCCESS);
}

// A key file's inode, 0 when it is missing: a replacement is always a new one.
ino_t FileInode(const std::filesystem::path& file) {
    struct stat status {};
    return stat(file.c_str(), &status) == 0 ? status.st_ino : 0;
}

TEST_F(RegistryStoreTest, CreatingAKeyThatExistsWritesNoFile) {
    UniqueKey key;
    ASSERT_EQ(Create(key), ERROR_SUCCESS);
    ASSERT_EQ(RegFlushKey(key.get()), ERROR_SUCCESS);
    const std::vector<std::string> files = {kKeyFile, std::string(kStoreFolder) + "/SOFTWARE.reg",
                                            std::string(kStoreFolder) + "/SOFTWARE/Vantrel.reg"};
    std::vector<ino_t> before;
    for (const std::string& file : files) before.push_back(FileInode(machine_.Path(file)));
    UniqueKey again;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                              kAllAccess64, nullptr, again.put(), &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    ASSERT_EQ(RegFlushKey(again.get()), ERROR_SUCCESS);
    for (std::size_t i = 0; i < files.size(); ++i) {
        EXPECT_EQ(FileInode(machine_.Path(files[i])), before[i]) << files[i];
    }
}

// The ways a process reaches a durable point.
enum class DurablePoint { kFlushKey, kCloseLastHandle, kBeforeFirmwareChange };

struct DurablePointCase {
    const char* name;
    DurablePoint point = DurablePoint::kFlushKey;
};

class RegistryDurablePointTest : public RegistryStoreTest,
                                 public testing::WithParamInterface<DurablePointCase> {};

// A change is seen at once by every handle of the process, but reaches the key file only at a
// durable point; closing a handle while another one of the key is open is none.
TEST_P(RegistryDurablePointTest, ChangeReachesTheFileAtTheDurablePointOnly) {
    UniqueKey key;
    ASSERT_EQ(Create(key), ERROR_SUCCESS);
    ASSERT_EQ(RegFlushKey(key.get()), ERROR_SUCCESS);
    UniqueKey other;
    ASSERT_EQ(Open(other), ERROR_SUCCESS);
    ASSERT_EQ(SetDword(key.get(), L"Status", 7), ERROR_SUCCESS);

    DWORD value = 0;
    DWORD size = sizeof value;
    ASSERT_EQ(
        RegGetValueW(other.get(), nullptr, L"Status", RRF_RT_REG_DWORD, nullptr, &value, &size),
        ERROR_SUCCESS);
    EXPECT_EQ(value, 7u);
    EXPECT_EQ(KeyFileText(), kFileStart);

    switch (GetParam().point) {
        case DurablePoint::kFlushKey:
            ASSERT_EQ(RegFlushKey(other.get()), ERROR_SUCCESS);
            break;
        case DurablePoint::kCloseLastHandle:
            ASSERT_EQ(RegCloseKey(key.release()), ERROR_SUCCESS);
            EXPECT_EQ(KeyFileText(), kFileStart) << "another handle of the key is open";
            ASSERT_EQ(RegCloseKey(other.release()), ERROR_SUCCESS);
            break;
        case DurablePoint::kBeforeFirmwareChange:
            ASSERT_EQ(posix::FlushRegistry(), ERROR_SUCCESS);
            break;
    }
    EXPECT_EQ(KeyFileText(), std::string(kFileStart) + "\"Status\"=dword:00000007\n");
}

INSTANTIATE_TEST_SUITE_P(
    Points, RegistryDurablePointTest,
    testing::Values(DurablePointCase{.name = "FlushKey", .point = DurablePoint::kFlushKey},
                    DurablePointCase{.name = "CloseLastHandle",
                                     .point = DurablePoint::kCloseLastHandle},
                    DurablePointCase{.name = "BeforeFirmwareChange",
                                     .point = DurablePoint::kBeforeFirmwareChange}),
    CaseName());

// A process that ends without a durable point (killed, or gone through _exit) leaves the key
// files of the last one: a new key is not there, a changed one holds its old text.
TEST_F(RegistryStoreTest, ProcessEndingWithoutADurablePointLeavesTheLastOne) {
    const std::string text = std::string(kFileStart) + "\"Status\"=dword:00000003\n";
    machine_.WriteFile(kKeyFile, text);
    const int exitCode = InChild([] {
        UniqueKey key;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKeyPath, 0, kAllAccess64, key.put()) != 0) return 1;
        if (SetDword(key.get(), L"Status", 4) != 0) return 2;
        UniqueKey created;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Vantrel\\New", 0, nullptr,
                            REG_OPTION_NON_VOLATILE, kAllAccess64, nullptr, created.put(),
                            nullptr) != 0) {
            return 3;
        }
        _exit(0);
    });
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(KeyFileText(), text);
    EXPECT_FALSE(machine_.ReadFile(std::string(kStoreFolder) + "/SOFTWARE/Vantrel/New.reg"));
}

// By default, the value as the key file holds it.
struct RewriteCase {
    const char* name;
    const wchar_t* valueName = L"Status";
    DWORD type = REG_DWORD;
    std::vector<BYTE> data = {3, 0, 0, 0};
    bool replaced = false;  // the key file is a new file afterwards
};

class RegistryRewriteTest : public RegistryStoreTest,
                            public testing::WithParamInterface<RewriteCase> {};

// A write that would leave the file's text as it is writes nothing; any other one replaces it.
TEST_P(RegistryRewriteTest, OnlyAChangedTextReplacesTheKeyFile) {
    const std::string text = std::string(kFileStart) + "\"Status\"=dword:00000003\n";
    machine_.WriteFile(kKeyFile, text);
    const ino_t before = FileInode(machine_.Path(kKeyFile));
    UniqueKey key;
    ASSERT_EQ(Open(key), ERROR_SUCCESS);
    const RewriteCase& c = GetParam();
    ASSERT_EQ(RegSetValueExW(key.get(), c.valueName, 0, c.type, c.data.data(),
                             static_cast<DWORD>(c.data.size())),
              ERROR_SUCCESS);
    ASSERT_EQ(RegFlushKey(key.get()), ERROR_SUCCESS);
    EXPECT_EQ(FileInode(machine_.Path(kKeyFile)) != before, c.replaced);
    EXPECT_EQ(KeyFileText() != text, c.replaced);
}

INSTANTIATE_TEST_SUITE_P(
    Writes, RegistryRewriteTest,
    testing::Values(
        RewriteCase{.name = "SameData"},
        // The value keeps the spelling it has in the file.
        RewriteCase{.name = "SameDataUnderOtherCase", .valueName = L"STATUS"},
        RewriteCase{.name = "OtherData", .data = {4, 0, 0, 0}, .replaced = true},
        RewriteCase{.name = "SameBytesOfOtherType", .type = REG_BINARY, .replaced = true},
        RewriteCase{.name = "NewValue", .valueName = L"NumBatteries", .replaced = true}),
    CaseName());

struct BadNameCase {
    const char* name;
    const wchar_t* path = L"";
};

// Test names carry the case; the bytes of the struct say nothing.

class RegistryBadNameTest : public RegistryStoreTest,
                            public testing::WithParamInterface<BadNameCase> {};

// Key names become file names: none of these may reach outside the store.
TEST_P(RegistryBadNameTest, KeyNameThatIsNoFileNameIsRefused) {
    UniqueKey key;
    EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, GetParam().path, 0, nullptr,
                              REG_OPTION_NON_VOLATILE, kAllAccess64, nullptr, key.put(), nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(key.get(), nullptr);
    EXPECT_FALSE(std::filesystem::exists(machine_.Path("var/lib/cellkeeper-patch/escaped.reg")));
    EXPECT_FALSE(std::filesystem::exists(machine_.Path("var/lib/cellkeeper-patch/registry/x")));
}

INSTANTIATE_TEST_SUITE_P(BadNames, RegistryBadNameTest,
                         testing::Values(BadNameCase{"Slash", L"SOFTWARE\\a/b"},
                                         BadNameCase{"DotDot", L"..\\..\\escaped"},
                                         BadNameCase{"Dot", L"SOFTWARE\\.\\x"},
                                         BadNameCase{"Newline", L"SOFTWARE\\a\nb"}),
                         CaseName());

struct CorruptCase {
    const char* name;
    std::string text = "";
};

// A well-formed key file just past 1 MiB: only its size is wrong with it.
std::string OversizedKeyFile() {
    std::string text = std::string(kFileStart) + "\"Big\"=hex:00";
    while (text.size() <= (std::size_t{1} << 20)) text += ",00";
    return text + "\n";
}

// `count` values V0, V1... and then the given extra lines.
std::string KeyFileWithValues(int count, const std::string& extra = "") {
    std::string text = kFileStart;
    for (int i = 0; i < count; ++i) text += "\"V" + std::to_string(i) + "\"=dword:00000001\n";
    return text + extra;
}

// Test names carry the case; the bytes of the struct say nothing.

class RegistryCorruptTest : public RegistryStoreTest,
                            public testing::WithParamInterface<CorruptCase> {};

// A store that cannot be parsed is an error, and the file stays exactly as it was.
TEST_P(RegistryCorruptTest, UnparsableFileIsReportedAndLeftAlone) {
    const std::string& text = GetParam().text;
    machine_.WriteFile(kKeyFile, text);
    UniqueKey key;
    EXPECT_EQ(Open(key), ERROR_REGISTRY_CORRUPT);
    EXPECT_EQ(key.get(), nullptr);
    EXPECT_EQ(Create(key), ERROR_REGISTRY_CORRUPT);
    EXPECT_EQ(key.get(), nullptr);
    DWORD value = 0;
    DWORD size = sizeof value;
    EXPECT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, kKeyPath, L"Status", RRF_RT_REG_DWORD, nullptr,
                           &value, &size),
              ERROR_REGISTRY_CORRUPT);
    EXPECT_EQ(KeyFileText(), text);
}

INSTANTIATE_TEST_SUITE_P(
    Corrupt, RegistryCorruptTest,
    testing::Values(
        CorruptCase{"Empty", ""}, CorruptCase{"Garbage", "\x01\x02garbage\n"},
        CorruptCase{"NoHeader",
                    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vantrel\\Vantrel Cellkeeper "
                    "Patch]\n\"Status\"=dword:00000000\n"},
        CorruptCase{"NoKeyLine", "Windows Registry Editor Version 5.00\n\n\"Status\"=dword:0\n"},
        CorruptCase{"OtherKey",
                    "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\"
                    "SOFTWARE\\Other]\n"},
        CorruptCase{"TwoKeys", std::string(kFileStart) + "[HKEY_LOCAL_MACHINE\\SOFTWARE]\n"},
        CorruptCase{"TruncatedLine", std::string(kFileStart) + "\"Status\"=dwo"},
        CorruptCase{"DwordTooLong", std::string(kFileStart) + "\"Status\"=dword:123456789\n"},
        CorruptCase{"BadHexByte", std::string(kFileStart) + "\"DateRun\"=hex(b):2a,0g\n"},
        CorruptCase{"UnknownEscape", std::string(kFileStart) + "\"Name\"=\"a\\nb\"\n"},
        CorruptCase{"UnclosedQuote", std::string(kFileStart) + "\"Name\"=\"abc\n"},
        CorruptCase{"TextAfterQuote", std::string(kFileStart) + "\"Name\"=\"abc\" x\n"},
        CorruptCase{"InvalidUtf8", std::string(kFileStart) + "\"Name\"=\"\xC3\x28\"\n"},
        CorruptCase{"DuplicateName",
                    std::string(kFileStart) + "\"Status\"=dword:1\n\"STATUS\"=dword:2\n"},
        CorruptCase{"DuplicateFarApart", KeyFileWithValues(20000, "\"v7\"=dword:00000002\n")},
        CorruptCase{"PastSizeCap", OversizedKeyFile()},
        CorruptCase{"DeletionMarker", std::string(kFileStart) + "\"Status\"=-\n"}),
    CaseName());

TEST_F(RegistryStoreTest, KeyWithManyValuesReadsItsLastValue) {
    machine_.WriteFile(kKeyFile, KeyFileWithValues(20000));
    DWORD value = 0;
    DWORD size = sizeof value;
    EXPECT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, kKeyPath, L"v19999", RRF_RT_REG_DWORD, nullptr,
                           &value, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(value, 1u);
}

// An open handle keeps what it parsed, but a file changed behind it in place, to the same size
// and within the same clock tick, is read afresh.
TEST_F(RegistryStoreTest, OpenHandleSeesAFileChangedBehindIt) {
    machine_.WriteFile(kKeyFile, std::string(kFileStart) + "\"Status\"=dword:00000003\n");
    UniqueKey key;
    ASSERT_EQ(Open(key), ERROR_SUCCESS);
    auto status = [&key] {
        DWORD value = 0;
        DWORD size = sizeof value;
        const LSTATUS result =
            RegGetValueW(key.get(), nullptr, L"Status", RRF_RT_REG_DWORD, nullptr, &value, &size);
        return result == ERROR_SUCCESS ? static_cast<LSTATUS>(value) : -result;
    };
    EXPECT_EQ(status(), 3);
    machine_.WriteFile(kKeyFile, std::string(kFileStart) + "\"Status\"=dword:00000004\n");
    EXPECT_EQ(status(), 4);
    machine_.WriteFile(kKeyFile, std::string(kFileStart) + "\"Status\"=dword:0000000z\n");
    EXPECT_EQ(status(), -ERROR_REGISTRY_CORRUPT);
    EXPECT_EQ(SetDword(key.get(), L"Status", 1), ERROR_REGISTRY_CORRUPT);
}

TEST_F(RegistryStoreTest, WriteToAKeyWhoseFileWasDamagedMeanwhileChangesNothing) {
    UniqueKey key;
    ASSERT_EQ(Create(key), ERROR_SUCCESS);
    const std::string damaged = std::string(kFileStart) + "\"Status\"=dword:zz\n";
    machine_.WriteFile(kKeyFile, damaged);
    EXPECT_EQ(SetDword(key.get(), L"Status", 1), ERROR_REGISTRY_CORRUPT);
    EXPECT_EQ(KeyFileText(), damaged);
}

// The reader refuses a key file over 1 MiB; a write that would make one fails and keeps the old
// file, so that no later run stops at it.
TEST_F(RegistryStoreTest, WriteThatWouldOutgrowTheReaderFailsAndKeepsTheFile) {
    UniqueKey key;
    ASSERT_EQ(Create(key), ERROR_SUCCESS);
    ASSERT_EQ(SetDword(key.get(), L"Status", 3), ERROR_SUCCESS);
    const std::string before = KeyFileText();
    // Every character is written as six ("hh,hh,") once the text cannot be written quoted.
    const std::wstring huge(300 * 1024, L'\n');
    EXPECT_EQ(
        RegSetValueExW(key.get(), L"SystemModel", 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(huge.c_str()), Utf16BytesWithTerminator(huge)),
        ERROR_FILE_TOO_LARGE);
    EXPECT_EQ(KeyFileText(), before);
    EXPECT_EQ(SetDword(key.get(), L"Status", 0), ERROR_SUCCESS);
}

// A kill between writing the temporary file and renaming it leaves that file behind; the next
// writer of its folder, holding the store's lock, removes it and every other key's, and nothing
// else.
TEST_F(RegistryStoreTest, LeftoverTemporaryFilesLeaveTheKeyIntactAndTheNextWriterRemovesThem) {
    machine_.WriteFile(kKeyFile, std::string(kFileStart) + "\"Status\"=dword:00000003\n");
    const std::string leftover = std::string(kKeyFile) + ".tmp-AbCdEf";
    machine_.WriteFile(leftover, std::string(kFileStart) + "\"Status\"=dwo");
    const std::string folder = std::string(kStoreFolder) + "/SOFTWARE/Vantrel/";
    machine_.WriteFile(folder + "Other.reg.tmp-AbCd09", "another key's, as stale");
    // Names that only look alike, and what is no regular file of ours, stay.
    for (const char* name :
         {"Vantrel Cellkeeper Patch.reg.tmp-AbCdEfG", "Vantrel Cellkeeper Patch.reg.tmp-",
          "Other.tmp-AbCdEf", "Other.reg.tmp-Ab.dEf"}) {
        machine_.WriteFile(folder + name, "other");
    }
    machine_.WriteFile("outside", "a link's target");
    std::filesystem::create_symlink(machine_.Path("outside"),
                                    machine_.Path(folder + "Link.reg.tmp-AbCdEf"));
    machine_.MakeFolder(folder + "Folder.reg.tmp-AbCdEf");
    std::vector<std::string> expected = {"Folder.reg.tmp-AbCdEf",
                                         "Link.reg.tmp-AbCdEf",
                                         "Other.reg.tmp-Ab.dEf",
                                         "Other.tmp-AbCdEf",
                                         "Vantrel Cellkeeper Patch.reg",
                                         "Vantrel Cellkeeper Patch.reg.tmp-",
                                         "Vantrel Cellkeeper Patch.reg.tmp-AbCdEfG"};
    if (geteuid() == 0) {
        machine_.WriteFile(folder + "Nobody.reg.tmp-AbCdEf", "another user's");
        ASSERT_EQ(chown(machine_.Path(folder + "Nobody.reg.tmp-AbCdEf").c_str(), kNobody, kNobody),
                  0);
        expected.emplace_back("Nobody.reg.tmp-AbCdEf");
    }

    UniqueKey key;
    ASSERT_EQ(Open(key), ERROR_SUCCESS);
    DWORD value = 0;
    DWORD size = sizeof value;
    ASSERT_EQ(RegGetValueW(key.get(), nullptr, L"Status", RRF_RT_REG_DWORD, nullptr, &value, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(value, 3u);
    EXPECT_TRUE(machine_.ReadFile(leftover)) << "a reader removes nothing";
    ASSERT_EQ(SetDword(key.get(), L"NumBatteries", 1), ERROR_SUCCESS);
    ASSERT_EQ(RegFlushKey(key.get()), ERROR_SUCCESS);

    EXPECT_EQ(KeyFileText(), std::string(kFileStart) +
                                 "\"Status\"=dword:00000003\n\"NumBatteries\"=dword:00000001\n");
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(machine_.Path(folder))) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);
    EXPECT_EQ(machine_.ReadFile("outside"), "a link's target");
}

// A writer that is stopped while it holds the store's lock used to block every later writer.
// The change waits in the process for the next durable point, and this one fails.
TEST_F(RegistryStoreTest, WriterWaitsForAStoppedLockHolderOnlySoLong) {
    UniqueKey key;
    ASSERT_EQ(Create(key), ERROR_SUCCESS);
    ASSERT_EQ(RegFlushKey(key.get()), ERROR_SUCCESS);
    const std::string before = KeyFileText();
    StoppedLockHolder holder(machine_.Path(kStoreLock));
    ASSERT_TRUE(holder.held());
    EXPECT_EQ(SetDword(key.get(), L"Status", 1), ERROR_SUCCESS);
    EXPECT_EQ(RegFlushKey(key.get()), ERROR_TIMEOUT);
    EXPECT_EQ(KeyFileText(), before);
    holder.Kill();
    EXPECT_EQ(RegFlushKey(key.get()), ERROR_SUCCESS);
    EXPECT_EQ(KeyFileText(), std::string(kFileStart) + "\"Status\"=dword:00000001\n");
}

// Every folder of the store could be opened, and so locked, by anyone once: a lock on one of
// them is no lock of the store any more.
TEST_F(RegistryStoreTest, LockOnAStoreFolderStallsNoWriter) {
    UniqueKey key;
    ASSERT_EQ(Create(key), ERROR_SUCCESS);
    StoppedLockHolder holder(machine_.Path(kKeyFile).parent_path());
    ASSERT_TRUE(holder.held());
    ASSERT_EQ(SetDword(key.get(), L"Status", 36), ERROR_SUCCESS);
    EXPECT_EQ(RegFlushKey(key.get()), ERROR_SUCCESS);
    EXPECT_EQ(KeyFileText(), std::string(kFileStart) + "\"Status\"=dword:00000024\n");
}

// A store that an older version left open to everyone (0755 folders) is closed by its next
// writer; then another user can open neither a folder nor the lock, so cannot hold either.
TEST_F(RegistryStoreTest, WriterClosesTheStoreToOtherUsers) {
    machine_.WriteFile(kKeyFile, std::string(kFileStart));
    const std::vector<std::string> folders = {
        "var/lib/cellkeeper-patch", "var/lib/cellkeeper-patch/registry", kStoreFolder,
        std::string(kStoreFolder) + "/SOFTWARE", std::string(kStoreFolder) + "/SOFTWARE/Vantrel"};
    for (const std::string& folder : folders) {
        ASSERT_EQ(chmod(machine_.Path(folder).c_str(), 0755), 0);
    }
    UniqueKey key;
    ASSERT_EQ(Open(key), ERROR_SUCCESS);
    ASSERT_EQ(SetDword(key.get(), L"Status", 1), ERROR_SUCCESS);
    ASSERT_EQ(RegFlushKey(key.get()), ERROR_SUCCESS);
    // A new key's folders are private from the start.
    UniqueKey other;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Vantrel\\New\\Deeper", 0, nullptr,
                              REG_OPTION_NON_VOLATILE, kAllAccess64, nullptr, other.put(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegFlushKey(other.get()), ERROR_SUCCESS);

    std::vector<std::string> paths = folders;
    paths.push_back(std::string(kStoreFolder) + "/SOFTWARE/Vantrel/New");
    for (const std::string& path : paths) {
        struct stat status {};
        ASSERT_EQ(stat(machine_.Path(path).c_str(), &status), 0) << path;
        EXPECT_EQ(status.st_mode & 07777, 0700u) << path;
    }
    struct stat lock {};
    ASSERT_EQ(stat(machine_.Path(kStoreLock).c_str(), &lock), 0);
    EXPECT_EQ(lock.st_mode & 07777, 0600u);
    paths.emplace_back(kStoreLock);

    if (geteuid() != 0) GTEST_SKIP() << "another user's process needs root to make";
    for (const std::string& path : paths) {
        const std::string full = machine_.Path(path).string();
        const int opened = InChild([&full] {
            if (!BecomeUnprivileged()) return 100;
            const int fd = open(full.c_str(), O_RDONLY | O_NONBLOCK);
            return fd < 0 ? (errno == EACCES ? 0 : 2) : 1;
        });
        EXPECT_EQ(opened, 0) << path << ": 1 opened, 2 another failure, 100 setuid";
    }
}

// Whoever could make a folder of the store could have put a key of their own into it: a folder
// or a lock of another user is refused, never taken over.
TEST_F(RegistryStoreTest, FolderOrLockOfAnotherUserIsRefused) {
    if (geteuid() != 0) GTEST_SKIP() << "giving a folder to another user needs root";
    for (const std::string& path :
         {std::string(kStoreFolder) + "/SOFTWARE/Vantrel", std::string("var/lib/cellkeeper-patch"),
          std::string(kStoreLock)}) {
        SCOPED_TRACE(path);
        MachineTree machine;
        machine.WriteFile(kKeyFile, std::string(kFileStart));
        machine.WriteFile(kStoreLock, "");
        ASSERT_EQ(chown(machine.Path(path).c_str(), kNobody, kNobody), 0);
        UniqueKey key;
        ASSERT_EQ(Open(key), ERROR_SUCCESS);
        ASSERT_EQ(SetDword(key.get(), L"Status", 1), ERROR_SUCCESS);
        EXPECT_EQ(RegFlushKey(key.get()), ERROR_ACCESS_DENIED);
        EXPECT_EQ(machine.ReadFile(kKeyFile), std::string(kFileStart));
        // Given back, the change that waited is written.
        ASSERT_EQ(chown(machine.Path(path).c_str(), 0, 0), 0);
        EXPECT_EQ(RegFlushKey(key.get()), ERROR_SUCCESS);
        EXPECT_EQ(machine.ReadFile(kKeyFile),
                  std::string(kFileStart) + "\"Status\"=dword:00000001\n");
    }
}

// A small file system of its own for the state folder, unmounted again at the end.
class SmallFileSystem {
  public:
    explicit SmallFileSystem(std::filesystem::path at) : at_(std::move(at)) {
        std::filesystem::create_directories(at_);
        mounted_ = mount("tmpfs", at_.c_str(), "tmpfs", 0, "size=64k,mode=0700") == 0;
    }
    ~SmallFileSystem() {
        if (mounted_) umount2(at_.c_str(), MNT_DETACH);
    }
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;
    bool mounted() const { return mounted_; }

  private:
    std::filesystem::path at_;
    bool mounted_ = false;
};

// A full disk is a failed durable point, never a success without a file; the change waits for
// the next one.
TEST_F(RegistryStoreTest, FullDiskFailsTheDurablePoint) {
    if (geteuid() != 0) GTEST_SKIP() << "mounting a small file system needs root";
    const SmallFileSystem small(machine_.Path("var/lib/cellkeeper-patch"));
    if (!small.mounted()) GTEST_SKIP() << "tmpfs cannot be mounted here";
    UniqueKey key;
    ASSERT_EQ(Create(key), ERROR_SUCCESS);
    ASSERT_EQ(RegFlushKey(key.get()), ERROR_SUCCESS);
    const std::string before = KeyFileText();
    const std::string filler = "var/lib/cellkeeper-patch/filler";
    {
        std::ofstream fill(machine_.Path(filler), std::ios::binary);
        const std::string block(4096, 'f');
        while (fill.write(block.data(), static_cast<std::streamsize>(block.size())) &&
               fill.flush()) {
        }
    }
    ASSERT_EQ(SetDword(key.get(), L"Status", 0), ERROR_SUCCESS);
    EXPECT_EQ(RegFlushKey(key.get()), ERROR_DISK_FULL);
    EXPECT_EQ(KeyFileText(), before);
    std::filesystem::remove(machine_.Path(filler));
    EXPECT_EQ(RegFlushKey(key.get()), ERROR_SUCCESS);
    EXPECT_EQ(KeyFileText(), std::string(kFileStart) + "\"Status\"=dword:00000000\n");
}

TEST_F(RegistryStoreTest, TwoProcessesWritingAtOnceLoseNothing) {
    UniqueKey key;
    ASSERT_EQ(Create(key), ERROR_SUCCESS);
    ASSERT_EQ(RegFlushKey(key.get()), ERROR_SUCCESS);
    constexpr DWORD kWrites = 60;
    auto writer = [](wchar_t prefix) {
        return [prefix]() {
            UniqueKey own;
            if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKeyPath, 0, kAllAccess64, own.put()) != 0) {
                return 1;
            }
            for (DWORD i = 0; i < kWrites; ++i) {
                const std::wstring name = prefix + std::to_wstring(i);
                if (SetDword(own.get(), name.c_str(), i) != 0) return 2;
                // Every write a durable point of its own, so that the two meet at the lock.
                if (RegFlushKey(own.get()) != 0) return 3;
            }
            return 0;
        };
    };
    const pid_t first = fork();
    if (first == 0) _exit(writer(L'A')());
    const int second = InChild(writer(L'B'));
    int firstStatus = 0;
    ASSERT_EQ(waitpid(first, &firstStatus, 0), first);
    ASSERT_TRUE(WIFEXITED(firstStatus));
    EXPECT_EQ(WEXITSTATUS(firstStatus), 0);
    EXPECT_EQ(second, 0);

    ASSERT_EQ(Open(key, KEY_READ), ERROR_SUCCESS);
    for (const wchar_t prefix : {L'A', L'B'}) {
        for (DWORD i = 0; i < kWrites; ++i) {
            const std::wstring name = prefix + std::to_wstring(i);
            DWORD value = kWrites;
            DWORD size = sizeof value;
            ASSERT_EQ(RegGetValueW(key.get(), nullptr, name.c_str(), RRF_RT_REG_DWORD, nullptr,
                                   &value, &size),
                      ERROR_SUCCESS)
                << "value " << std::string(name.begin(), name.end()) << " was lost";
            EXPECT_EQ(value, i);
        }
    }
}

TEST_F(RegistryStoreTest, KeyThatMayNotBeWrittenIsDeniedForAllAccessButReadable) {
    machine_.WriteFile(kKeyFile, std::string(kFileStart) + "\"Status\"=dword:00000000\n");
    ASSERT_EQ(chmod(machine_.Path(kKeyFile).c_str(), S_IRUSR | S_IRGRP | S_IROTH), 0);
    ASSERT_EQ(chmod(machine_.Path(kKeyFile).parent_path().c_str(),
                    S_IRUSR | S_IXUSR | S_IRGRP | S_IXGRP | S_IROTH | S_IXOTH),
              0);
    const int result = InChild([] {
        if (!BecomeUnprivileged()) return 100;
        UniqueKey key;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKeyPath, 0, kAllAccess64, key.put()) !=
            ERROR_ACCESS_DENIED) {
            return 1;
        }
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                            kAllAccess64, nullptr, key.put(), nullptr) != ERROR_ACCESS_DENIED) {
            return 2;
        }
        // A new key in a folder that may not be written is denied too.
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Vantrel\\Other", 0, nullptr,
                            REG_OPTION_NON_VOLATILE, kAllAccess64, nullptr, key.put(),
                            nullptr) != ERROR_ACCESS_DENIED) {
            return 3;
        }
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKeyPath, 0, KEY_READ, key.put()) != 0) return 4;
        return 0;
    });
    EXPECT_EQ(result, 0) << "1/2: open/create for all access, 3: new key, 4: read, 100: setuid";
    // Writable again, so that the machine tree can be removed.
    chmod(machine_.Path(kKeyFile).parent_path().c_str(), S_IRWXU);
}

}  // namespace
