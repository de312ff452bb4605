#include "app/check_mode.h"

#include "app/check_json.h"
#include "app/privilege.h"
#include "app/run_log.h"
#include "base/console.h"
#include "base/text.h"
#include "bios/bios_config_client.h"
#include "bios/bios_constants.h"
#include "qualification/bios_security_info.h"
#include "qualification/profile_record.h"
#include "qualification/system_profile.h"
#include "record/registry_value.h"
#include "record/run_date.h"
#include "record/run_status_code.h"
#include "record/run_status_record.h"
#include "record/status_meaning.h"

#include <algorithm>
#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr const char* kVerdicts[] = {"compliant", "would-patch", "blocked", "unknown"};

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

struct RegistryRecord {
    std::optional<std::int64_t> dateRun;
    std::optional<std::uint32_t> status;
};

struct Facts {
    std::optional<RegistryRecord> registry;
    StoredFirmwareRecord firmware;
    bool providerPresent = false;
    std::optional<std::wstring> currentValue;
    std::vector<std::wstring> possibleValues;
    std::optional<bool> setupPassword;
    bool enhancedAuthentication = false;
    std::optional<bool> pendingReboot;
    std::wstring vendor, model, biosMaker, biosVersion, biosDate;
    bool notebookChassis = false;
    std::int32_t batteries = 0;
    bool oemMarker = false;
    std::vector<std::wstring> unreadable;
};

std::wstring ErrorNote(const wchar_t* what, long error) {
    return std::wstring(what) + L" (error " + std::to_wstring(error) + L")";
}

// Opens the tool's key for reading only: a missing key is no record, never a new key.
std::optional<RegistryRecord> ReadRegistryRecord(std::vector<std::wstring>& unreadable) {
    const std::wstring path = kRegistryRoot + kToolKeyName;
    UniqueKey key;
    const LONG opened = RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), /*ulOptions=*/0,
                                      KEY_READ | KEY_WOW64_64KEY, key.put());
    if (opened == static_cast<LONG>(ERROR_FILE_NOT_FOUND)) return std::nullopt;
    if (opened != static_cast<LONG>(ERROR_SUCCESS)) {
        key.release();
        unreadable.push_back(ErrorNote(L"registry key", opened));
        return std::nullopt;
    }
    RegistryRecord record;
    std::int64_t dateRun = 0;
    if (GetQword(key.get(), L"DateRun", dateRun) == static_cast<LONG>(ERROR_SUCCESS)) {
        record.dateRun = dateRun;
    }
    DWORD status = 0;
    if (GetDword(key.get(), L"Status", status) == static_cast<LONG>(ERROR_SUCCESS)) {
        record.status = status;
    }
    return record;
}

void ReadSetting(Facts& facts) {
    BiosConfigClient client;
    facts.providerPresent = static_cast<bool>(client.services);
    if (!facts.providerPresent) {
        facts.unreadable.push_back(L"Vantrel BIOS provider");
        return;
    }
    std::wstring value;
    HRESULT result = client.ReadSettingValue(kChargingPolicySetting, value);
    std::wstring current;
    if (result == S_OK) result = client.current.GetString(kCurrentValueProperty, current);
    if (result == S_OK && !current.empty()) {
        facts.currentValue = current;
        client.current.GetStringArray(L"PossibleValues", facts.possibleValues);
    } else if (FAILED(result)) {
        facts.unreadable.push_back(ErrorNote(L"setting", result));
    }
    // Only the Linux provider knows of a pending restart.
    if (client.SelectFirstInstance(kSettingsInterfaceClass) == S_OK) {
        std::wstring pending;
        if (client.current.GetString(L"PendingReboot", pending) == S_OK && !pending.empty()) {
            facts.pendingReboot = pending != L"0";
        }
    }
}

void ReadMachine(Facts& facts) {
    const ChassisInfo chassis;
    const SystemProductInfo product;
    BiosSecurityInfo security;
    if (facts.providerPresent) {
        security.ProbeSetupPassword();
        security.ProbeEnhancedAuthentication();
    }
    const BatteryInfo batteries;
    const BiosInfo bios;
    if (security.setupPasswordState >= 0) facts.setupPassword = security.setupPasswordState == 1;
    facts.enhancedAuthentication = security.enhancedAuthEnabled;
    facts.vendor = product.vendor;
    facts.model = product.modelName;
    facts.biosMaker = bios.manufacturer;
    facts.biosVersion = bios.biosName;
    facts.biosDate = BiosReleaseDate(bios.releaseDate);
    facts.notebookChassis = HasNotebookChassis(chassis.chassisTypes);
    facts.batteries = batteries.batteryCount;
    facts.oemMarker = std::any_of(
        product.oemStrings.begin(), product.oemStrings.end(),
        [](const std::wstring& oem) { return EqualsIgnoreCase(oem, kRequiredOemString); });
    if (!product.services) facts.unreadable.push_back(L"machine description (root\\cimv2)");
}

// The qualification's verdict on the facts, in the run's order; nullopt: a target.
std::optional<RunStatusCode> Refusal(const Facts& facts) {
    if (!EqualsIgnoreCase(facts.vendor, kVendorName)) return RunStatusCode::WrongSystemVendor;
    if (facts.batteries < 1) return RunStatusCode::NoBattery;
    if (!EqualsIgnoreCase(facts.biosMaker, kVendorName) || !facts.oemMarker) {
        return RunStatusCode::WrongFirmware;
    }
    if (facts.enhancedAuthentication) return RunStatusCode::EnhancedAuthentication;
    if (facts.setupPassword == true) return RunStatusCode::SetupPasswordSet;
    return std::nullopt;
}

bool IsNoTarget(RunStatusCode code) {
    return code == RunStatusCode::WrongSystemVendor || code == RunStatusCode::NoBattery ||
           code == RunStatusCode::WrongFirmware;
}

struct Verdict {
    int exitCode;
    std::optional<std::int32_t> statusCode;
    std::string reason;
};

// The earlier record that settles the matter, as a run reads it: the firmware variable first,
// else "DateRun" with "Status".
std::optional<std::int64_t> SettledStatus(const Facts& facts) {
    const FirmwareRunRecord& firmware = facts.firmware.record;
    if (facts.firmware.present && firmware.recordSize != 0 &&
        firmware.version == FirmwareRunRecord::kVersion) {
        if (firmware.statusCode < static_cast<std::uint32_t>(kFirstUnsettledStatus)) {
            return firmware.statusCode;
        }
        return std::nullopt;
    }
    if (facts.registry && facts.registry->dateRun && facts.registry->status &&
        static_cast<std::int32_t>(*facts.registry->status) < kFirstUnsettledStatus) {
        return static_cast<std::int32_t>(*facts.registry->status);
    }
    return std::nullopt;
}

Verdict Decide(const Facts& facts) {
    if (!facts.providerPresent) {
        return {kCheckUnknown, std::nullopt,
                "no Vantrel BIOS provider: the setting cannot be read"};
    }
    const bool holdsNew =
        facts.currentValue && EqualsIgnoreCase(*facts.currentValue, kValueAfterPatch);
    const bool holdsOld =
        facts.currentValue && EqualsIgnoreCase(*facts.currentValue, kValueBeforePatch);
    const std::optional<RunStatusCode> refusal = Refusal(facts);
    if (const std::optional<std::int64_t> settled = SettledStatus(facts)) {
        const std::string earlier = "an earlier run settled the matter with status " +
                                    std::to_string(*settled) + " (" +
                                    StatusMeaning(static_cast<std::int32_t>(*settled)) + ")";
        const auto previous = static_cast<std::int32_t>(RunStatusCode::PreviouslyRun);
        if (holdsNew)
            return {kCheckCompliant, previous, earlier + "; the setting holds the new value"};
        if (refusal && IsNoTarget(*refusal)) {
            return {kCheckCompliant, previous, earlier + "; " + StatusMeaning(*refusal)};
        }
        return {kCheckBlocked, previous, earlier + "; only /FORCE would run again"};
    }
    if (!facts.currentValue) {
        if (!facts.unreadable.empty())
            return {kCheckUnknown, std::nullopt, "the setting cannot be read"};
        const RunStatusCode code = RunStatusCode::SettingNotFound;
        return {kCheckBlocked, static_cast<std::int32_t>(code), StatusMeaning(code)};
    }
    if (refusal) {
        return {IsNoTarget(*refusal) ? kCheckCompliant : kCheckBlocked,
                static_cast<std::int32_t>(*refusal), StatusMeaning(*refusal)};
    }
    if (holdsOld) return {kCheckWouldPatch, 0, "a run would change the setting now"};
    if (holdsNew) return {kCheckCompliant, 0, "the setting holds the new value"};
    return {kCheckCompliant, 0, "the setting holds another value, which a run leaves as it is"};
}

JsonObject RecordJson(const Facts& facts) {
    std::optional<JsonObject> registry;
    if (facts.registry) {
        registry.emplace();
        const std::optional<std::int64_t>& dateRun = facts.registry->dateRun;
        registry->OptionalText(
            "DateRun", dateRun ? std::optional(Ascii(FormatUtcTime(*dateRun))) : std::nullopt);
        registry->OptionalNumber("Status", Widen(facts.registry->status));
    }
    std::optional<JsonObject> firmware;
    if (facts.firmware.present) {
        firmware.emplace();
        firmware->Text("runTime", Ascii(FormatUtcTime(facts.firmware.record.runTime)))
            .Number("status", facts.firmware.record.statusCode)
            .OptionalNumber("attributes", Widen(facts.firmware.attributes));
    }
    JsonObject record;
    record.OptionalObject("registry", registry).OptionalObject("firmware", firmware);
    return record;
}

std::string Report(const Facts& facts, const Verdict& verdict) {
    JsonObject machine;
    machine.Text("vendor", facts.vendor)
        .Text("model", facts.model)
        .Text("biosMaker", facts.biosMaker)
        .Text("biosVersion", facts.biosVersion)
        .Text("biosDate", facts.biosDate)
        .Bool("notebookChassis", facts.notebookChassis)
        .Number("batteries", facts.batteries)
        .Bool("oemMarker", facts.oemMarker);
    JsonObject setting;
    setting.OptionalText("currentValue", facts.currentValue)
        .TextList("possibleValues", facts.possibleValues);
    JsonObject report;
    report.Text("version", Ascii(CELLKEEPER_VERSION))
        .Text("verdict", Ascii(kVerdicts[verdict.exitCode]))
        .Text("reason", Ascii(verdict.reason))
        .OptionalNumber("statusCode", verdict.statusCode)
        .Object("machine", machine)
        .Object("setting", setting)
        .OptionalBool("setupPassword", facts.setupPassword)
        .Bool("enhancedAuthentication", facts.enhancedAuthentication)
        .Object("record", RecordJson(facts))
        .OptionalBool("pendingReboot", facts.pendingReboot)
        .TextList("unreadable", facts.unreadable);
    return report.Finish();
}

}  // namespace

int RunCheck() noexcept {
    try {
        Facts facts;
        // Reading the firmware variable on Windows needs the privilege enabled in the token.
        EnableSystemEnvironmentPrivilege();
        facts.registry = ReadRegistryRecord(facts.unreadable);
        facts.firmware = ReadStoredFirmwareRecord();
        ReadSetting(facts);
        ReadMachine(facts);
        const Verdict verdict = Decide(facts);
        WriteLine(Report(facts, verdict));
        return verdict.exitCode;
    } catch (...) {
        // Out of memory or an error raised on the way to a provider: still one JSON line.
        WriteLine(R"({"version":")" CELLKEEPER_VERSION
                  R"(","verdict":"unknown","reason":"the check failed","statusCode":null})");
    }
    return kCheckUnknown;
}
