#include "record/run_status_record.h"
#include "base/console.h"
#include "base/text.h"
#include "record/firmware_calls.h"
#include "record/registry_value.h"
#include "record/run_date.h"
#include "support/machine_tree.h"
#include "support/test_env.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

// UEFI variable attributes.
constexpr DWORD kBootServiceAccess = 2;
constexpr DWORD kRuntimeAccess = 4;
constexpr DWORD kAccessAttributes = kBootServiceAccess | kRuntimeAccess;
constexpr DWORD kOurAttributes = 7;
constexpr DWORD kEarlierAttributes = 5;

// A firmware with one variable slot, reached through the extended calls that the record looks
// up at run time. It keeps the rules of conforming firmware: runtime access needs boot-service
// access, an existing variable keeps its attributes, and a write of no data or of no access
// attributes removes the variable. Plain functions, so the state is file-wide; each test starts
// it afresh.
struct FakeFirmwareState {
    std::optional<std::vector<std::uint8_t>> variable;
    DWORD attributes = kOurAttributes;
    std::vector<DWORD> readBufferSizes;
    std::vector<DWORD> writeAttributes;
    std::vector<DWORD> writeSizes;
    bool failWrites = false;
    // Firmware of the kind that stored attributes 5 in the first place.
    bool runtimeWithoutBootService = false;
    // A store too full for this many more writes of data.
    int refusedDataWrites = 0;
};
FakeFirmwareState fakeFirmware;

bool IsOurVariable(LPCWSTR name, LPCWSTR guid) {
    return std::wstring(name) == kFirmwareVariableName &&
           std::wstring(guid) == kFirmwareVariableGuid;
}

DWORD WINAPI FakeGetVariable(LPCWSTR name, LPCWSTR guid, PVOID buffer, DWORD size,
                             PDWORD attributes) {
    fakeFirmware.readBufferSizes.push_back(size);
    if (!IsOurVariable(name, guid) || !fakeFirmware.variable) {
        SetLastError(ERROR_ENVVAR_NOT_FOUND);
        return 0;
    }
    const std::vector<std::uint8_t>& data = *fakeFirmware.variable;
    if (data.size() > size) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::copy(data.begin(), data.end(), static_cast<std::uint8_t*>(buffer));
    if (attributes != nullptr) {
        *attributes = fakeFirmware.attributes;
    }
    return static_cast<DWORD>(data.size());
}

BOOL Refuse(DWORD error) {
    SetLastError(error);
    return FALSE;
}

BOOL WINAPI FakeSetVariable(LPCWSTR name, LPCWSTR guid, PVOID value, DWORD size, DWORD attributes) {
    fakeFirmware.writeAttributes.push_back(attributes);
    fakeFirmware.writeSizes.push_back(size);
    if (fakeFirmware.failWrites || !IsOurVariable(name, guid)) {
        return Refuse(ERROR_ACCESS_DENIED);
    }
    if ((attributes & kAccessAttributes) == kRuntimeAccess &&
        !fakeFirmware.runtimeWithoutBootService) {
        return Refuse(ERROR_INVALID_PARAMETER);
    }
    if (fakeFirmware.variable && attributes != 0 && attributes != fakeFirmware.attributes) {
        return Refuse(ERROR_INVALID_PARAMETER);
    }
    if (size == 0 || (attributes & kAccessAttributes) == 0) {
        if (!fakeFirmware.variable) return Refuse(ERROR_ENVVAR_NOT_FOUND);
        fakeFirmware.variable.reset();
        return TRUE;
    }
    if (fakeFirmware.refusedDataWrites > 0) {
        --fakeFirmware.refusedDataWrites;
        return Refuse(ERROR_DISK_FULL);
    }
    const auto* bytes = static_cast<const std::uint8_t*>(value);
    fakeFirmware.variable = std::vector<std::uint8_t>(bytes, bytes + size);
    fakeFirmware.attributes = attributes;
    return TRUE;
}

std::vector<std::uint8_t> RecordBytes(std::uint32_t recordSize, std::uint32_t version,
                                      std::int64_t runTime, std::uint32_t statusCode) {
    FirmwareRunRecord record;
    record.recordSize = recordSize;
    record.version = version;
    record.runTime = runTime;
    record.statusCode = statusCode;
    const FirmwareRunRecord::Bytes bytes = record.Serialize();
    return {bytes.begin(), bytes.end()};
}

constexpr std::int64_t kEarlierRun = 1615881909;  // Tue Mar 16 08:05:09 2021 UTC

// A record on a key of its own (the Windows build shares one registry between tests), on a
// machine of its own, with the fake firmware in place and the console captured.
class RunStatusRecordTest : public testing::Test {
  protected:
    void SetUp() override {
        fakeFirmware = FakeFirmwareState{};
        savedCalls_ = firmwareCalls;
        firmwareCalls.getVariableEx = &FakeGetVariable;
        firmwareCalls.setVariableEx = &FakeSetVariable;
        previousSink_ = SetConsoleSink(&output_);
        std::random_device random;
        keyName_ = L"Vantrel Cellkeeper Patch Test " + std::to_wstring(random());
    }

    void TearDown() override {
        const bool opened = record_.has_value();
        record_.reset();
        if (opened) {
            const std::wstring path = L"SOFTWARE\\Vantrel\\" + keyName_;
            RegDeleteTreeW(HKEY_LOCAL_MACHINE, path.c_str());
        }
        SetConsoleSink(previousSink_);
        firmwareCalls = savedCalls_;
    }

    RunStatusRecord& Record() {
        if (!record_) {
            record_.emplace(keyName_);
            EXPECT_EQ(record_->registryKey.lastError, 0);
            EXPECT_TRUE(record_->registryKey.handle);
        }
        return *record_;
    }

    HKEY Key() { return Record().registryKey.handle.get(); }

    void SetQword(const wchar_t* name, std::int64_t value) {
        ASSERT_EQ(::SetQword(Key(), name, value), 0);
    }
    void SetDword(const wchar_t* name, DWORD value) {
        ASSERT_EQ(::SetDword(Key(), name, value), 0);
    }
    void SetString(const wchar_t* name, const std::wstring& text) {
        ASSERT_EQ(::SetString(Key(), name, text), 0);
    }
    std::optional<std::int64_t> GetQword(const wchar_t* name) {
        std::int64_t value = 0;
        if (::GetQword(Key(), name, value) != 0) {
            return std::nullopt;
        }
        return value;
    }
    std::optional<DWORD> GetDword(const wchar_t* name) {
        DWORD value = 0;
        if (::GetDword(Key(), name, value) != 0) {
            return std::nullopt;
        }
        return value;
    }
    bool HasValue(const wchar_t* name) {
        DWORD size = 0;
        return RegGetValueW(Key(), nullptr, name, RRF_RT_ANY, nullptr, nullptr, &size) == 0;
    }

    MachineTree machine_;
    ScopedTimeZone zone_{"UTC0"};
    std::string output_;

  private:
    std::optional<RunStatusRecord> record_;
    std::wstring keyName_;
    FirmwareCallCache savedCalls_;
    std::string* previousSink_ = nullptr;
};

TEST_F(RunStatusRecordTest, StartsWithoutVerdictOnAnOpenKey) {
    RunStatusRecord& record = Record();
    EXPECT_EQ(record.statusCode, 1);
    EXPECT_FALSE(record.force);
    EXPECT_EQ(record.registryKey.subkeyName.substr(0, 24), L"Vantrel Cellkeeper Patch");
}

// --- Registry branch (no usable firmware variable) ---

TEST_F(RunStatusRecordTest, FirstRunCreatesDateRunAndGoesOnSilently) {
    EXPECT_TRUE(Record().CheckPreviousRun());
    EXPECT_EQ(output_, "");
    EXPECT_EQ(GetQword(L"DateRun"), launchTime);
    EXPECT_FALSE(HasValue(L"Status"));
    EXPECT_EQ(Record().statusCode, 1);
}

TEST_F(RunStatusRecordTest, DateRunOfAnotherTypeIsReplacedByTheStartTime) {
    SetString(L"DateRun", L"1615881909");
    EXPECT_TRUE(Record().CheckPreviousRun());
    EXPECT_EQ(output_, "");
    EXPECT_EQ(GetQword(L"DateRun"), launchTime);
    EXPECT_EQ(Record().statusCode, 1);
}

TEST_F(RunStatusRecordTest, DateRunWithoutStatusPrintsTheDateAndGoesOn) {
    SetQword(L"DateRun", kEarlierRun);
    EXPECT_TRUE(Record().CheckPreviousRun());
    EXPECT_EQ(output_, "Patch was previously run on Tue Mar 16 08:05:09 2021\n");
    EXPECT_EQ(Record().statusCode, 2);
    // An existing "DateRun" keeps the time of the run that created it.
    EXPECT_EQ(GetQword(L"DateRun"), kEarlierRun);
}

TEST_F(RunStatusRecordTest, StatusOfAnotherTypeCountsAsMissing) {
    SetQword(L"DateRun", kEarlierRun);
    SetString(L"Status", L"0");
    EXPECT_TRUE(Record().CheckPreviousRun());
    EXPECT_EQ(output_, "Patch was previously run on Tue Mar 16 08:05:09 2021\n");
}

TEST_F(RunStatusRecordTest, UnshowableDateRunStillFinishesTheCheck) {
    SetQword(L"DateRun", -5);
    SetDword(L"Status", 0);
    EXPECT_FALSE(Record().CheckPreviousRun());
    EXPECT_EQ(output_,
              "Patch was previously run on an unknown date (stored time -5)\n"
              "Previous status code: 0\n\n");
}

// A status left by an earlier run, found in the registry or in the firmware record. The registry
// value counts as signed, the firmware record's as unsigned.
struct StoredStatusCase {
    const char* name;
    std::uint32_t status = 0;
    const char* printed = "";
    bool goOnFromRegistry = false;
    bool goOnFromFirmware = false;
};

class StoredStatusTest : public RunStatusRecordTest,
                         public testing::WithParamInterface<StoredStatusCase> {};

TEST_P(StoredStatusTest, RegistryPrintsDateThenStatusAndComparesSigned) {
    const StoredStatusCase& c = GetParam();
    SetQword(L"DateRun", kEarlierRun);
    SetDword(L"Status", c.status);
    EXPECT_EQ(Record().CheckPreviousRun(), c.goOnFromRegistry);
    EXPECT_EQ(output_, std::string("Patch was previously run on Tue Mar 16 08:05:09 2021\n") +
                           "Previous status code: " + c.printed + "\n\n");
    EXPECT_EQ(Record().statusCode, 2);
    EXPECT_EQ(GetQword(L"DateRun"), kEarlierRun);
}

// A settled firmware record is copied into an empty registry, so that what deployment tools
// read agrees with it; a record that lets the run go on leaves the registry to the run.
TEST_P(StoredStatusTest, FirmwarePrintsStatusThenDateComparesUnsignedAndFillsAnEmptyRegistry) {
    const StoredStatusCase& c = GetParam();
    fakeFirmware.variable = RecordBytes(24, 1, kEarlierRun, c.status);
    EXPECT_EQ(Record().CheckPreviousRun(), c.goOnFromFirmware);
    EXPECT_EQ(output_, std::string("Previous status code (from EFI variable): ") + c.printed +
                           "\nPatch was previously run on Tue Mar 16 08:05:09 2021\n\n");
    EXPECT_EQ(Record().statusCode, 2);
    if (c.goOnFromFirmware) {
        EXPECT_FALSE(HasValue(L"DateRun"));
        EXPECT_FALSE(HasValue(L"Status"));
    } else {
        EXPECT_EQ(GetQword(L"DateRun"), kEarlierRun);
        EXPECT_EQ(GetDword(L"Status"), c.status);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StoredStatusTest,
    testing::Values(StoredStatusCase{.name = "Success", .status = 0, .printed = "0"},
                    StoredStatusCase{.name = "NotApplicable", .status = 3, .printed = "3"},
                    StoredStatusCase{.name = "SettingNotFound", .status = 9, .printed = "9"},
                    StoredStatusCase{.name = "LastSettled", .status = 31, .printed = "31"},
                    StoredStatusCase{.name = "FirstUnsettled",
                                     .status = 32,
                                     .printed = "32",
                                     .goOnFromRegistry = true,
                                     .goOnFromFirmware = true},
                    StoredStatusCase{.name = "WmiError",
                                     .status = 36,
                                     .printed = "36",
                                     .goOnFromRegistry = true,
                                     .goOnFromFirmware = true},
                    // All bits set: printed unsigned either way; counted as -1
                    // from the registry, so it settles the matter there, while
                    // the firmware record's unsigned value lets the run go on.
                    StoredStatusCase{.name = "AllBitsSet",
                                     .status = 4294967295u,
                                     .printed = "4294967295",
                                     .goOnFromFirmware = true}),
    CaseName());

// --- Firmware branch ---

TEST_F(RunStatusRecordTest, FirmwareRecordWinsOverRegistryValues) {
    fakeFirmware.variable = RecordBytes(24, 1, kEarlierRun, 36);
    SetQword(L"DateRun", 0);
    SetDword(L"Status", 0);
    EXPECT_TRUE(Record().CheckPreviousRun());
    EXPECT_EQ(output_.find("Previous status code: "), std::string::npos);
    EXPECT_EQ(GetQword(L"DateRun"), 0);
}

TEST_F(RunStatusRecordTest, SixteenByteVariableIsAcceptedWithStatusZero) {
    std::vector<std::uint8_t> bytes = RecordBytes(24, 1, kEarlierRun, 36);
    bytes.resize(16);
    fakeFirmware.variable = bytes;
    EXPECT_FALSE(Record().CheckPreviousRun());
    EXPECT_EQ(output_,
              "Previous status code (from EFI variable): 0\n"
              "Patch was previously run on Tue Mar 16 08:05:09 2021\n\n");
}

struct IgnoredVariableCase {
    const char* name;
    std::vector<std::uint8_t> variable = {};
};

class IgnoredVariableTest : public RunStatusRecordTest,
                            public testing::WithParamInterface<IgnoredVariableCase> {};

TEST_P(IgnoredVariableTest, RegistryDecides) {
    fakeFirmware.variable = GetParam().variable;
    SetQword(L"DateRun", kEarlierRun);
    SetDword(L"Status", 0);
    EXPECT_FALSE(Record().CheckPreviousRun());
    EXPECT_EQ(output_,
              "Patch was previously run on Tue Mar 16 08:05:09 2021\n"
              "Previous status code: 0\n\n");
}

std::vector<std::uint8_t> Padded(std::vector<std::uint8_t> bytes, std::size_t size) {
    bytes.resize(size, 0);
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IgnoredVariableTest,
    testing::Values(IgnoredVariableCase{"Version2", RecordBytes(24, 2, kEarlierRun, 0)},
                    IgnoredVariableCase{"SizeFieldZero", RecordBytes(0, 1, kEarlierRun, 0)},
                    IgnoredVariableCase{"TwentyFiveBytes",
                                        Padded(RecordBytes(24, 1, kEarlierRun, 0), 25)},
                    IgnoredVariableCase{"LargerThanTheFirstBuffer",
                                        Padded(RecordBytes(24, 1, kEarlierRun, 0), 1500)}),
    CaseName());

TEST_F(RunStatusRecordTest, MissingVariableLeavesRecordZero) {
    EXPECT_EQ(Record().ReadFirmwareRecord(), FirmwareRunRecord{});
    EXPECT_EQ(fakeFirmware.readBufferSizes, std::vector<DWORD>{1024});
}

TEST_F(RunStatusRecordTest, BufferGrowsInStepsOf1024) {
    fakeFirmware.variable = Padded(RecordBytes(24, 1, kEarlierRun, 0), 3073);
    EXPECT_EQ(Record().ReadFirmwareRecord(), FirmwareRunRecord{});
    EXPECT_EQ(fakeFirmware.readBufferSizes, (std::vector<DWORD>{1024, 2048, 3072, 4096}));
}

TEST_F(RunStatusRecordTest, UnshowableFirmwareTimeStillFinishesTheCheck) {
    fakeFirmware.variable = RecordBytes(24, 1, kLastShowableTime + 1, 36);
    EXPECT_TRUE(Record().CheckPreviousRun());
    EXPECT_EQ(output_,
              "Previous status code (from EFI variable): 36\n"
              "Patch was previously run on an unknown date (stored time 32535216000)\n\n");
}

// --- Persisting ---

TEST_F(RunStatusRecordTest, PersistWritesTheFirmwareRecordThenStatus) {
    SetQword(L"DateRun", kEarlierRun);
    Record().statusCode = 36;
    EXPECT_TRUE(Record().Persist());
    EXPECT_EQ(fakeFirmware.variable, RecordBytes(24, 1, launchTime, 36));
    EXPECT_EQ(fakeFirmware.writeAttributes, std::vector<DWORD>{kOurAttributes});
    EXPECT_EQ(fakeFirmware.attributes, kOurAttributes);
    EXPECT_EQ(GetDword(L"Status"), 36u);
    EXPECT_EQ(GetQword(L"DateRun"), kEarlierRun);
    EXPECT_EQ(Record().registryKey.lastError, 0);
    EXPECT_EQ(output_, "");
}

TEST_F(RunStatusRecordTest, FailedFirmwareWriteStillWritesStatus) {
    fakeFirmware.failWrites = true;
    Record().statusCode = 3;
    EXPECT_FALSE(Record().Persist());
    EXPECT_EQ(GetDword(L"Status"), 3u);
    EXPECT_EQ(output_, "");
}

// A record that an earlier version stored with attributes 5, on firmware that took them.
struct ReplaceCase {
    const char* name;
    bool runtimeWithoutBootService = false;
    int refusedDataWrites = 0;
    bool failWrites = false;
    // The writes, as (attributes, size) pairs, in the order the firmware received them.
    std::vector<std::pair<DWORD, DWORD>> writes = {};
    bool persisted = false;
    bool newRecordStored = false;                    // else the earlier record, when one is left
    std::optional<DWORD> attributes = std::nullopt;  // of what is left; none: no variable at all
};
using ::PrintTo;

class ReplaceRecordTest : public RunStatusRecordTest,
                          public testing::WithParamInterface<ReplaceCase> {};

TEST_P(ReplaceRecordTest, RecordOfOtherAttributesIsReplacedOrKept) {
    const ReplaceCase& c = GetParam();
    const std::vector<std::uint8_t> earlier = RecordBytes(24, 1, kEarlierRun, 0);
    fakeFirmware.variable = earlier;
    fakeFirmware.attributes = kEarlierAttributes;
    fakeFirmware.runtimeWithoutBootService = c.runtimeWithoutBootService;
    fakeFirmware.refusedDataWrites = c.refusedDataWrites;
    fakeFirmware.failWrites = c.failWrites;
    Record().statusCode = 36;

    EXPECT_EQ(Record().WriteFirmwareRecord(), c.persisted);
    std::vector<std::pair<DWORD, DWORD>> writes;
    for (std::size_t i = 0; i < fakeFirmware.writeAttributes.size(); ++i) {
        writes.emplace_back(fakeFirmware.writeAttributes[i], fakeFirmware.writeSizes[i]);
    }
    EXPECT_EQ(writes, c.writes);
    if (!c.attributes) {
        EXPECT_EQ(fakeFirmware.variable, std::nullopt);
        return;
    }
    EXPECT_EQ(fakeFirmware.variable,
              c.newRecordStored ? RecordBytes(24, 1, launchTime, 36) : earlier);
    EXPECT_EQ(fakeFirmware.attributes, *c.attributes);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReplaceRecordTest,
    testing::Values(
        // Refused for its attributes, removed (no data, no attributes), written afresh.
        ReplaceCase{.name = "Replaced",
                    .writes = {{7, 24}, {0, 0}, {7, 24}},
                    .persisted = true,
                    .newRecordStored = true,
                    .attributes = 7},
        ReplaceCase{.name = "ReplacedOnTheFirmwareThatTookFive",
                    .runtimeWithoutBootService = true,
                    .writes = {{7, 24}, {0, 0}, {7, 24}},
                    .persisted = true,
                    .newRecordStored = true,
                    .attributes = 7},
        // The new write fails after the removal: the earlier record goes back as it was.
        ReplaceCase{.name = "RewriteFailsEarlierRecordBackWithItsAttributes",
                    .runtimeWithoutBootService = true,
                    .refusedDataWrites = 1,
                    .writes = {{7, 24}, {0, 0}, {7, 24}, {5, 24}},
                    .attributes = 5},
        // Conforming firmware takes the earlier bytes back only with attributes 7.
        ReplaceCase{.name = "RewriteFailsEarlierRecordBackWithOurAttributes",
                    .refusedDataWrites = 1,
                    .writes = {{7, 24}, {0, 0}, {7, 24}, {5, 24}, {7, 24}},
                    .attributes = 7},
        // What remains at risk: a store that takes no write at all after the removal.
        ReplaceCase{.name = "FullStoreLosesTheRecord",
                    .refusedDataWrites = 2,
                    .writes = {{7, 24}, {0, 0}, {7, 24}, {5, 24}, {7, 24}}},
        // Any other refusal is not about the attributes: nothing is removed.
        ReplaceCase{.name = "OtherRefusalKeepsTheRecord",
                    .failWrites = true,
                    .writes = {{7, 24}},
                    .attributes = 5}),
    CaseName());

TEST_F(RunStatusRecordTest, RecordOfOurAttributesIsNotRemovedWhenAWriteFails) {
    fakeFirmware.variable = RecordBytes(24, 1, kEarlierRun, 0);
    fakeFirmware.refusedDataWrites = 1;
    EXPECT_FALSE(Record().WriteFirmwareRecord());
    EXPECT_EQ(fakeFirmware.writeAttributes, std::vector<DWORD>{kOurAttributes});
    EXPECT_EQ(fakeFirmware.variable, RecordBytes(24, 1, kEarlierRun, 0));
}

TEST_F(RunStatusRecordTest, PersistedRecordSettlesTheNextRun) {
    Record().statusCode = 0;
    ASSERT_TRUE(Record().Persist());
    RunStatusRecord& record = Record();
    record.statusCode = 1;
    EXPECT_FALSE(record.CheckPreviousRun());
    EXPECT_EQ(output_,
              "Previous status code (from EFI variable): 0\n"
              "Patch was previously run on " +
                  ToUtf8(FormatRunDate(launchTime)) + "\n\n");
}

}  // namespace
