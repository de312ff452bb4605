// The rules on an earlier run's record that the run and the read-only check share.
#include "record/earlier_run.h"
#include "support/table_case.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>

namespace {

constexpr std::int64_t kFirmwareTime = 1615881909;
constexpr std::int64_t kRegistryTime = 1234;

FirmwareRunRecord Record(std::uint32_t status, std::uint32_t size = 24, std::uint32_t version = 1) {
    FirmwareRunRecord record;
    record.recordSize = size;
    record.version = version;
    record.runTime = kFirmwareTime;
    record.statusCode = status;
    return record;
}

struct JudgeCase {
    const char* name;
    FirmwareRunRecord firmware = {};  // all zero: no variable
    RegistryRunValues registry = {};
    EarlierRun::Source source = EarlierRun::Source::kNone;
    std::optional<std::int64_t> status = {};
    bool settled = false;
    bool readsRegistry = true;
};
using ::PrintTo;

class JudgeEarlierRunTest : public testing::TestWithParam<JudgeCase> {};

TEST_P(JudgeEarlierRunTest, TellsWhichRecordSpeaksAndWhetherItSettles) {
    const JudgeCase& c = GetParam();
    bool registryRead = false;
    const EarlierRun earlier = JudgeEarlierRun(c.firmware, [&] {
        registryRead = true;
        return c.registry;
    });
    EXPECT_EQ(earlier.source, c.source);
    EXPECT_EQ(earlier.status, c.status);
    EXPECT_EQ(earlier.settled, c.settled);
    EXPECT_EQ(registryRead, c.readsRegistry);
    if (c.source == EarlierRun::Source::kFirmware) {
        EXPECT_EQ(earlier.runTime, kFirmwareTime);
    } else if (c.source == EarlierRun::Source::kRegistry) {
        EXPECT_EQ(earlier.runTime, kRegistryTime);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, JudgeEarlierRunTest,
    testing::Values(JudgeCase{.name = "NothingAnywhere"},
                    JudgeCase{.name = "StatusWithoutDateRunIsNoRecord", .registry = {.status = 0}},
                    JudgeCase{.name = "DateRunWithoutStatusGoesOn",
                              .registry = {.dateRun = kRegistryTime},
                              .source = EarlierRun::Source::kRegistry},
                    JudgeCase{.name = "RegistrySettled",
                              .registry = {.dateRun = kRegistryTime, .status = 7},
                              .source = EarlierRun::Source::kRegistry,
                              .status = 7,
                              .settled = true},
                    JudgeCase{.name = "RegistryUnsettled",
                              .registry = {.dateRun = kRegistryTime, .status = 36},
                              .source = EarlierRun::Source::kRegistry,
                              .status = 36},
                    // Signed in the registry: every bit set counts as -1 and settles the matter.
                    JudgeCase{.name = "RegistryAllBitsSetSettles",
                              .registry = {.dateRun = kRegistryTime, .status = 0xFFFFFFFFu},
                              .source = EarlierRun::Source::kRegistry,
                              .status = -1,
                              .settled = true},
                    // The firmware record speaks alone, without the registry being read.
                    JudgeCase{.name = "FirmwareSettled",
                              .firmware = Record(0),
                              .registry = {.dateRun = kRegistryTime, .status = 36},
                              .source = EarlierRun::Source::kFirmware,
                              .status = 0,
                              .settled = true,
                              .readsRegistry = false},
                    JudgeCase{.name = "FirmwareUnsettledOverSettledRegistry",
                              .firmware = Record(36),
                              .registry = {.dateRun = kRegistryTime, .status = 0},
                              .source = EarlierRun::Source::kFirmware,
                              .status = 36,
                              .readsRegistry = false},
                    // Unsigned in the firmware: every bit set does not settle.
                    JudgeCase{.name = "FirmwareAllBitsSetGoesOn",
                              .firmware = Record(0xFFFFFFFFu),
                              .source = EarlierRun::Source::kFirmware,
                              .status = 4294967295,
                              .readsRegistry = false},
                    JudgeCase{.name = "FirmwareOfOtherVersionLeavesItToTheRegistry",
                              .firmware = Record(0, 24, 2),
                              .registry = {.dateRun = kRegistryTime, .status = 3},
                              .source = EarlierRun::Source::kRegistry,
                              .status = 3,
                              .settled = true},
                    JudgeCase{.name = "FirmwareOfSizeZeroLeavesItToTheRegistry",
                              .firmware = Record(0, 0),
                              .registry = {.dateRun = kRegistryTime},
                              .source = EarlierRun::Source::kRegistry}),
    CaseName());

struct RestoreCase {
    const char* name;
    FirmwareRecordBytes firmware = {.size = 24, .record = Record(0)};
    RegistryRunValues registry = {};
    RegistryRestore restore = {};
};

class RestoreFromFirmwareTest : public testing::TestWithParam<RestoreCase> {};

TEST_P(RestoreFromFirmwareTest, FollowsOnlyASettledFirmwareRecordOverAMissingOrUnsettledStatus) {
    const RestoreCase& c = GetParam();
    EXPECT_EQ(RestoreFromFirmware(c.firmware, c.registry), c.restore);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RestoreFromFirmwareTest,
    testing::Values(RestoreCase{.name = "EmptyRegistryTakesBoth",
                                .restore = {.dateRun = kFirmwareTime, .status = 0}},
                    RestoreCase{.name = "ExistingDateRunIsKept",
                                .registry = {.dateRun = kRegistryTime},
                                .restore = {.status = 0}},
                    RestoreCase{.name = "UnsettledStatusIsMended",
                                .registry = {.dateRun = kRegistryTime, .status = 36},
                                .restore = {.status = 0}},
                    RestoreCase{.name = "SettledStatusStaysWhateverItSays",
                                .registry = {.status = 7}},
                    RestoreCase{.name = "AllBitsSetIsSettledInTheRegistry",
                                .registry = {.dateRun = kRegistryTime, .status = 0xFFFFFFFFu}},
                    RestoreCase{.name = "UnsettledFirmwareRecordRestoresNothing",
                                .firmware = {.size = 24, .record = Record(36)},
                                .registry = {.status = 36}},
                    // Too short to hold a status: its zero status was never written by a run.
                    RestoreCase{.name = "NineBytesRestoreNothing",
                                .firmware = {.size = 9, .record = Record(0)}},
                    RestoreCase{.name = "NineteenBytesRestoreNothing",
                                .firmware = {.size = 19, .record = Record(0)}},
                    RestoreCase{.name = "TwentyBytesHoldAStatus",
                                .firmware = {.size = 20, .record = Record(4)},
                                .restore = {.dateRun = kFirmwareTime, .status = 4}},
                    RestoreCase{.name = "OtherVersionRestoresNothing",
                                .firmware = {.size = 24, .record = Record(0, 24, 2)}}),
    CaseName());

}  // namespace
