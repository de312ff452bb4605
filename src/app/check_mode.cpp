#include "app/check_mode.h"

#include "app/check_json.h"
#include "app/check_verdict.h"
#include "app/privilege.h"
#include "app/setup_password.h"
#include "base/console.h"
#include "base/text.h"
#include "bios/bios_config_client.h"
#include "bios/named_texts.h"
#include "qualification/platform_reading.h"
#include "qualification/profile_record.h"
#include "record/run_date.h"
#include "record/run_status_record.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr const char* kVerdicts[] = {"compliant", "would-patch", "blocked", "unknown"};
// The reason is the tool's own text: whole, never cut.
constexpr std::size_t kReasonLimit = 400;

// The tool's own texts (ASCII) for the JSON writer; a byte past ASCII stays one escaped point.
std::wstring Ascii(std::string_view text) {
    std::wstring wide;
    for (const char c : text) wide += static_cast<wchar_t>(static_cast<unsigned char>(c));
    return wide;
}

std::optional<std::int64_t> Widen(const std::optional<std::uint32_t>& value) {
    if (!value) return std::nullopt;
    return *value;
}

// What the report shows beyond the facts the verdict is decided on.
struct Reading {
    CheckFacts facts;
    bool registryKeyFound = false;
    StoredFirmwareRecord firmware;
    std::optional<bool> pendingReboot;
    std::wstring model, biosVersion, biosDate;
    bool notebookChassis = false;
    std::vector<std::wstring> unreadable;
};

std::wstring ErrorNote(const wchar_t* what, long error) {
    return std::wstring(what) + L" (error " + std::to_wstring(error) + L")";
}

// Opens the tool's key for reading only: a missing key is no record, never a new key.
void ReadRegistry(Reading& reading) {
    const std::wstring path = kRegistryRoot + kToolKeyName;
    UniqueKey key;
    const LONG opened = RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), /*ulOptions=*/0,
                                      KEY_READ | KEY_WOW64_64KEY, key.put());
    if (opened == ERROR_FILE_NOT_FOUND) return;
    if (opened != ERROR_SUCCESS) {
        key.release();
        reading.facts.registryError = opened;
        reading.unreadable.push_back(ErrorNote(L"registry key", opened));
        return;
    }
    reading.registryKeyFound = true;
    reading.facts.registry = ReadRegistryRunValues(key.get());
}

void ReadFirmware(Reading& reading) {
    reading.firmware = ReadStoredFirmwareRecord();
    if (!reading.firmware.present && !MeansNoFirmwareRecord(reading.firmware.error)) {
        reading.facts.firmwareUnreadable = true;
        reading.unreadable.push_back(
            ErrorNote(L"firmware record", static_cast<long>(reading.firmware.error)));
        return;
    }
    reading.facts.firmware = {reading.firmware.size, reading.firmware.record};
}

// The setting as the run reads it, with its choices and what a write would need.
void ReadSetting(Reading& reading) {
    CheckFacts& facts = reading.facts;
    BiosConfigClient client;
    facts.providerPresent = static_cast<bool>(client.services);
    if (!facts.providerPresent) {
        reading.unreadable.push_back(L"Vantrel BIOS provider");
        return;
    }
    std::wstring value;
    HRESULT result = client.ReadSettingValue(kChargingPolicySetting, value);
    std::wstring current;
    if (result == S_OK) result = client.current.GetString(kCurrentValueProperty, current);
    if (result == S_OK) {
        facts.currentValue = current;
        if (!current.empty())
            client.current.GetStringArray(kPossibleValuesProperty, facts.possibleValues);
    } else if (FAILED(result)) {
        facts.settingError = result;
        reading.unreadable.push_back(ErrorNote(L"setting", result));
    }
    facts.methodFound = client.SelectFirstInstance(kSettingsInterfaceClass) == S_OK;
    // Only the Linux provider knows of a pending restart.
    if (facts.methodFound) reading.pendingReboot = client.CurrentPendingReboot();
}

// The setup password as a run reads it; only whether it can be used goes further.
void ReadPassword(Reading& reading, const RunOptions& options) {
    const PasswordReading password = ReadSetupPassword(FindPasswordSource(options));
    if (!password.refusal.empty()) {
        reading.facts.passwordUnusable = true;
        reading.unreadable.push_back(Ascii("setup password: " + password.refusal));
    }
    reading.facts.passwordSupplied = !password.password.empty();
}

void ReadMachine(Reading& reading) {
    const PlatformReading machine(PlatformReading::Probes::kWhenConnected);
    reading.facts.platform = machine.Facts();
    reading.model = machine.product.modelName;
    reading.biosVersion = machine.bios.biosName;
    reading.biosDate = BiosReleaseDate(machine.bios.releaseDate);
    reading.notebookChassis = HasNotebookChassis(machine.chassis.chassisTypes);
    if (!machine.product.services) {
        reading.unreadable.push_back(L"machine description (root\\cimv2)");
    }
}

JsonObject RecordJson(const Reading& reading) {
    std::optional<JsonObject> registry;
    if (reading.registryKeyFound) {
        const RegistryRunValues& values = reading.facts.registry;
        registry.emplace();
        registry->OptionalText("DateRun", values.dateRun
                                              ? std::optional(Ascii(FormatUtcTime(*values.dateRun)))
                                              : std::nullopt);
        registry->OptionalNumber("Status", Widen(values.status));
    }
    std::optional<JsonObject> firmware;
    if (reading.firmware.present) {
        firmware.emplace();
        firmware->Text("runTime", Ascii(FormatUtcTime(reading.firmware.record.runTime)))
            .Number("status", reading.firmware.record.statusCode)
            .OptionalNumber("attributes", Widen(reading.firmware.attributes));
    }
    JsonObject record;
    record.OptionalObject("registry", registry).OptionalObject("firmware", firmware);
    return record;
}

std::string Report(const Reading& reading, const CheckVerdict& verdict) {
    const CheckFacts& facts = reading.facts;
    const PlatformFacts& platform = facts.platform;
    std::optional<bool> setupPassword;
    if (platform.setupPasswordState >= 0) setupPassword = platform.setupPasswordState == 1;
    JsonObject machine;
    machine.Text("vendor", platform.vendor)
        .Text("model", reading.model)
        .Text("biosMaker", platform.biosMaker)
        .Text("biosVersion", reading.biosVersion)
        .Text("biosDate", reading.biosDate)
        .Bool("notebookChassis", reading.notebookChassis)
        .Number("batteries", platform.batteryCount)
        .Bool("oemMarker", HasFirmwareMarker(platform.oemStrings));
    JsonObject setting;
    std::optional<std::wstring> currentValue;
    if (facts.providerPresent && !facts.currentValue.empty()) currentValue = facts.currentValue;
    setting.OptionalText("currentValue", currentValue)
        .TextList("possibleValues", facts.possibleValues);
    JsonObject report;
    report.Text("version", Ascii(CELLKEEPER_VERSION))
        .Text("verdict", Ascii(kVerdicts[verdict.exitCode]))
        .Text("reason", Ascii(verdict.reason), kReasonLimit)
        .OptionalNumber("statusCode", verdict.statusCode)
        .OptionalNumber("settledStatusCode", verdict.settledStatusCode)
        .Object("machine", machine)
        .Object("setting", setting)
        .OptionalBool("setupPassword", setupPassword)
        .Bool("enhancedAuthentication", platform.enhancedAuthEnabled)
        .Object("record", RecordJson(reading))
        .OptionalBool("pendingReboot", reading.pendingReboot)
        .TextList("unreadable", reading.unreadable);
    return report.Finish();
}

}  // namespace

int RunCheck(const RunOptions& options) noexcept {
    try {
        Reading reading;
        // Reading the firmware variable on Windows needs the privilege enabled in the token.
        EnableSystemEnvironmentPrivilege();
        ReadRegistry(reading);
        ReadFirmware(reading);
        ReadPassword(reading, options);
        ReadSetting(reading);
        ReadMachine(reading);
        const CheckVerdict verdict = DecideCheck(reading.facts);
        WriteLine(Report(reading, verdict));
        return verdict.exitCode;
    } catch (...) {
        // Out of memory or an error raised on the way to a provider: still one JSON line.
        WriteLine(R"({"version":")" CELLKEEPER_VERSION
                  R"(","verdict":"unknown","reason":"the check failed","statusCode":null})");
    }
    return kCheckUnknown;
}
