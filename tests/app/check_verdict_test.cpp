// The check's verdict on facts that the sample machines cannot show: what the check could not
// read. (The end-to-end test holds the verdict against the run on whole machines.)
#include "app/check_verdict.h"
#include "support/table_case.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

// A qualifying notebook whose setting holds the old value, with no earlier record.
CheckFacts Notebook() {
    CheckFacts facts;
    facts.providerPresent = true;
    facts.currentValue = L"Maximize my battery duration";
    facts.methodFound = true;
    facts.platform = {.vendor = L"Vantrel",
                      .batteryCount = 1,
                      .biosMaker = L"Vantrel",
                      .oemStrings = {L"EDK2_1"},
                      .setupPasswordState = 0};
    return facts;
}

using Change = void (*)(CheckFacts& facts);

struct VerdictCase {
    const char* name;
    Change change = nullptr;
    int exitCode = kCheckWouldPatch;
    std::optional<std::int32_t> statusCode = 0;
    std::optional<std::int64_t> settledStatusCode = {};
    const char* reasonStart = "a run would change the setting now";
};
using ::PrintTo;

class DecideCheckTest : public testing::TestWithParam<VerdictCase> {};

TEST_P(DecideCheckTest, DependsOnlyOnWhatWasRead) {
    const VerdictCase& c = GetParam();
    CheckFacts facts = Notebook();
    if (c.change) c.change(facts);
    const CheckVerdict verdict = DecideCheck(facts);
    EXPECT_EQ(verdict.exitCode, c.exitCode) << verdict.reason;
    EXPECT_EQ(verdict.statusCode, c.statusCode) << verdict.reason;
    EXPECT_EQ(verdict.settledStatusCode, c.settledStatusCode) << verdict.reason;
    EXPECT_TRUE(verdict.reason.starts_with(c.reasonStart)) << verdict.reason;
}

void NotVantrel(CheckFacts& f) { f.platform.vendor = L"Northwind Systems"; }
void FirmwareUnreadable(CheckFacts& f) { f.firmwareUnreadable = true; }
void SettledFirmware(CheckFacts& f) {
    f.firmware.size = 24;
    f.firmware.record = {.recordSize = 24, .version = 1, .runTime = 0, .statusCode = 0};
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DecideCheckTest,
    testing::Values(
        VerdictCase{.name = "WouldPatch"},
        // Without the firmware-variable right, a settled record may stop the run.
        VerdictCase{.name = "FirmwareUnreadableWouldPatchIsUnknown",
                    .change = FirmwareUnreadable,
                    .exitCode = kCheckUnknown,
                    .statusCode = std::nullopt,
                    .reasonStart = "the firmware record cannot be read"},
        VerdictCase{.name = "FirmwareUnreadableBlockedStaysBlocked",
                    .change =
                        [](CheckFacts& f) {
                            FirmwareUnreadable(f);
                            f.platform.setupPasswordState = 1;
                        },
                    .exitCode = kCheckBlocked,
                    .statusCode = std::nullopt,
                    .reasonStart = "a BIOS setup password is set; the firmware record cannot"},
        VerdictCase{.name = "FirmwareUnreadableNewValueStaysCompliant",
                    .change =
                        [](CheckFacts& f) {
                            FirmwareUnreadable(f);
                            f.currentValue = L"Let Vantrel manage my battery charging";
                        },
                    .exitCode = kCheckCompliant,
                    .statusCode = std::nullopt,
                    .reasonStart = "the setting holds the new value; the firmware record"},
        VerdictCase{.name = "RegistryUnreadable",
                    .change = [](CheckFacts& f) { f.registryError = 5; },
                    .exitCode = kCheckUnknown,
                    .statusCode = std::nullopt,
                    .reasonStart = "the registry key cannot be read"},
        VerdictCase{.name = "RegistryUnreadableOnAnotherMakersMachine",
                    .change =
                        [](CheckFacts& f) {
                            f.registryError = 5;
                            NotVantrel(f);
                        },
                    .exitCode = kCheckCompliant,
                    .statusCode = std::nullopt,
                    .reasonStart = "not a Vantrel computer"},
        VerdictCase{.name = "NoProvider",
                    .change = [](CheckFacts& f) { f.providerPresent = false; },
                    .exitCode = kCheckUnknown,
                    .statusCode = std::nullopt,
                    .reasonStart = "no Vantrel BIOS provider"},
        VerdictCase{.name = "NoProviderOnAnotherMakersMachine",
                    .change =
                        [](CheckFacts& f) {
                            f.providerPresent = false;
                            NotVantrel(f);
                        },
                    .exitCode = kCheckCompliant,
                    .statusCode = std::nullopt,
                    .reasonStart = "not a Vantrel computer"},
        VerdictCase{.name = "SettingUnreadable",
                    .change =
                        [](CheckFacts& f) {
                            f.settingError = static_cast<HRESULT>(0x80041003);
                            f.currentValue.clear();
                        },
                    .exitCode = kCheckUnknown,
                    .statusCode = std::nullopt,
                    .reasonStart = "the setting cannot be read (error 0x80041003)"},
        // The write would end the run with a fatal error.
        VerdictCase{.name = "NoConfigurationMethod",
                    .change = [](CheckFacts& f) { f.methodFound = false; },
                    .exitCode = kCheckUnknown,
                    .statusCode = std::nullopt,
                    .reasonStart = "the Vantrel BIOS provider has no configuration method"},
        VerdictCase{.name = "SettledRecordStopsTheRun",
                    .change = SettledFirmware,
                    .exitCode = kCheckBlocked,
                    .statusCode = std::nullopt,
                    .settledStatusCode = 0,
                    .reasonStart = "an earlier run settled the matter with status 0"},
        VerdictCase{.name = "SettledRecordOnAnotherMakersMachine",
                    .change =
                        [](CheckFacts& f) {
                            SettledFirmware(f);
                            NotVantrel(f);
                        },
                    .exitCode = kCheckCompliant,
                    .statusCode = std::nullopt,
                    .settledStatusCode = 0,
                    .reasonStart = "not a Vantrel computer"}),
    CaseName());

// Every reason is whole and far inside the check's line.
TEST(DecideCheckTest, ReasonsAreTheToolsOwnWordsOfBoundedLength) {
    CheckFacts facts = Notebook();
    facts.firmware.size = 24;
    facts.firmware.record = {.recordSize = 24, .version = 1, .runTime = 0, .statusCode = 31};
    EXPECT_LT(DecideCheck(facts).reason.size(), 400u);
    EXPECT_EQ(ProviderFailure(static_cast<HRESULT>(0x80070005)),
              "the Vantrel BIOS provider failed with error 0x80070005");
}

}  // namespace
