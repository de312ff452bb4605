#include "record/run_status_record.h"

#include "base/console.h"
#include "record/firmware_calls.h"
#include "record/registry_value.h"
#include "record/run_date.h"

#include <optional>
#include <utility>
#include <vector>

namespace {

constexpr DWORD kFirmwareBufferStep = 1024;
// Non-volatile, boot-service and runtime access. UEFI requires boot-service access whenever
// runtime access is set; conforming firmware refuses anything else.
constexpr DWORD kFirmwareAttributes = 7;
// A write of no data and no access attributes removes a variable whatever attributes it has.
constexpr DWORD kRemovalAttributes = 0;

constexpr const wchar_t* kDateRunValue = L"DateRun";
constexpr const wchar_t* kStatusValue = L"Status";

struct FirmwareVariable {
    std::vector<std::uint8_t> data;  // empty when the firmware has no usable variable
    // Known only through the extended read call.
    std::optional<DWORD> attributes;
    DWORD error = ERROR_SUCCESS;
};

FirmwareVariable ReadFirmwareVariable() {
    LookUpFirmwareCalls();
    std::vector<std::uint8_t> buffer(kFirmwareBufferStep);
    for (;;) {
        const auto size = static_cast<DWORD>(buffer.size());
        DWORD attributes = 0;
        const DWORD read =
            firmwareCalls.getVariableEx != nullptr
                ? firmwareCalls.getVariableEx(kFirmwareVariableName, kFirmwareVariableGuid,
                                              buffer.data(), size, &attributes)
                : GetFirmwareEnvironmentVariableW(kFirmwareVariableName, kFirmwareVariableGuid,
                                                  buffer.data(), size);
        if (read != 0) {
            buffer.resize(read);
            FirmwareVariable variable{std::move(buffer), std::nullopt};
            if (firmwareCalls.getVariableEx != nullptr) variable.attributes = attributes;
            return variable;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_INSUFFICIENT_BUFFER) {
            return {{}, std::nullopt, error};
        }
        // The next multiple of the step above the present size.
        buffer.resize((size / kFirmwareBufferStep + 1) * kFirmwareBufferStep);
    }
}

// One write of the variable; the plain call, where the extended one is missing, writes with
// the attributes 7 too.
bool WriteFirmwareVariable(std::uint8_t* data, DWORD size, DWORD attributes) {
    const BOOL written =
        firmwareCalls.setVariableEx != nullptr
            ? firmwareCalls.setVariableEx(kFirmwareVariableName, kFirmwareVariableGuid, data, size,
                                          attributes)
            : SetFirmwareEnvironmentVariableW(kFirmwareVariableName, kFirmwareVariableGuid, data,
                                              size);
    return written != FALSE;
}

// A record that an earlier version left with other attributes (5, which only lenient firmware
// took) cannot be rewritten in place: conforming firmware refuses to change a variable's
// attributes. It is removed and written afresh; should the new write then fail, the old bytes go
// back, with their own attributes where the firmware still takes them, else with ours. The
// only steps that can lose the record are a crash between the removal and the write, and a
// firmware that removes it and then refuses both writes (a variable store too full to take
// one more record before the next boot).
bool ReplaceRecordOfOtherAttributes(FirmwareRunRecord::Bytes& bytes) {
    if (firmwareCalls.setVariableEx == nullptr) {
        // The plain call can neither name other attributes nor remove such a variable.
        return false;
    }
    FirmwareVariable old = ReadFirmwareVariable();
    if (old.data.empty() || !old.attributes || *old.attributes == kFirmwareAttributes) {
        // Nothing of ours stands in the way, or nothing we could tell: leave it as it is.
        return false;
    }
    if (!WriteFirmwareVariable(nullptr, 0, kRemovalAttributes)) {
        return false;
    }
    if (WriteFirmwareVariable(bytes.data(), static_cast<DWORD>(bytes.size()),
                              kFirmwareAttributes)) {
        return true;
    }
    const auto oldSize = static_cast<DWORD>(old.data.size());
    if (!WriteFirmwareVariable(old.data.data(), oldSize, *old.attributes)) {
        WriteFirmwareVariable(old.data.data(), oldSize, kFirmwareAttributes);
    }
    return false;
}

void PrintPreviousRunDate(std::int64_t time) {
    WriteLine(L"Patch was previously run on " + FormatRunDate(time),
              "Patch was previously run on " + FormatUtcTime(time));
}

}  // namespace

StoredFirmwareRecord ReadStoredFirmwareRecord() {
    FirmwareVariable variable = ReadFirmwareVariable();
    StoredFirmwareRecord stored;
    stored.error = variable.error;
    if (variable.data.empty() || variable.data.size() > FirmwareRunRecord::kSize) return stored;
    stored.present = true;
    stored.size = variable.data.size();
    stored.record = FirmwareRunRecord::Parse(variable.data.data(), variable.data.size());
    stored.attributes = variable.attributes;
    return stored;
}

bool MeansNoFirmwareRecord(DWORD error) {
    return error == ERROR_SUCCESS || error == ERROR_ENVVAR_NOT_FOUND ||
           error == ERROR_INVALID_FUNCTION;
}

RegistryRunValues ReadRegistryRunValues(HKEY key) {
    RegistryRunValues values;
    std::int64_t dateRun = 0;
    if (GetQword(key, kDateRunValue, dateRun) == ERROR_SUCCESS) {
        values.dateRun = dateRun;
    }
    DWORD status = 0;
    if (GetDword(key, kStatusValue, status) == ERROR_SUCCESS) {
        values.status = status;
    }
    return values;
}

RunStatusRecord& RunStatusRecord::Instance() {
    static RunStatusRecord record;
    return record;
}

void RunStatusRecord::RenewInstance() {
    RunStatusRecord& record = Instance();
    record.statusCode = static_cast<std::int32_t>(RunStatusCode::NoVerdict);
    record.force = false;
    record.earlier = {};
    record.firmwareError = ERROR_SUCCESS;
    record.firmwareReplaced = false;
    record.registryKey.Open(kToolKeyName);
}

RunStatusRecord::RunStatusRecord(const std::wstring& keyName) { registryKey.Open(keyName); }

FirmwareRunRecord RunStatusRecord::ReadFirmwareRecord() {
    // An empty variable or one larger than a record is not ours to interpret.
    return ReadStoredFirmwareRecord().record;
}

bool RunStatusRecord::WriteFirmwareRecord() {
    LookUpFirmwareCalls();
    FirmwareRunRecord record;
    record.recordSize = FirmwareRunRecord::kSize;
    record.version = FirmwareRunRecord::kVersion;
    record.runTime = launchTime;
    record.statusCode = static_cast<std::uint32_t>(statusCode);
    FirmwareRunRecord::Bytes bytes = record.Serialize();
    firmwareError = ERROR_SUCCESS;
    if (WriteFirmwareVariable(bytes.data(), static_cast<DWORD>(bytes.size()),
                              kFirmwareAttributes)) {
        return true;
    }
    // The registry still gets the status; the log names the firmware's error.
    firmwareError = GetLastError();
    if (firmwareError == ERROR_INVALID_PARAMETER) {
        firmwareReplaced = true;
        if (ReplaceRecordOfOtherAttributes(bytes)) {
            firmwareError = ERROR_SUCCESS;
            return true;
        }
        firmwareError = GetLastError();
    }
    return false;
}

bool RunStatusRecord::CheckPreviousRun() {
    const StoredFirmwareRecord stored = ReadStoredFirmwareRecord();
    const HKEY key = registryKey.handle.get();
    earlier = JudgeEarlierRun(stored.record, [key] { return ReadRegistryRunValues(key); });
    switch (earlier.source) {
        case EarlierRun::Source::kNone:
            // First run (or a "DateRun" of another type): remember when it started and go on.
            registryKey.lastError = SetQword(key, kDateRunValue, launchTime);
            return true;
        case EarlierRun::Source::kFirmware:
            statusCode = static_cast<std::int32_t>(RunStatusCode::PreviouslyRun);
            WriteLine(L"Previous status code (from EFI variable): " +
                      std::to_wstring(stored.record.statusCode));
            PrintPreviousRunDate(earlier.runTime);
            WriteLine(std::wstring_view{});
            if (earlier.settled && !force) FollowFirmwareRecord(stored);
            return !earlier.settled;
        case EarlierRun::Source::kRegistry:
            statusCode = static_cast<std::int32_t>(RunStatusCode::PreviouslyRun);
            PrintPreviousRunDate(earlier.runTime);
            if (earlier.status) {
                WriteLine(L"Previous status code: " +
                          std::to_wstring(static_cast<std::uint32_t>(*earlier.status)));
                WriteLine(std::wstring_view{});
            }
            return !earlier.settled;
    }
    return true;
}

// A reinstalled system, or a run stopped between the firmware record and the registry's, has
// a settled firmware record and a "Status" that is missing or unsettled: the registry takes
// the firmware's, durably, so that the record a deployment tool reads says what the machine
// already knows.
void RunStatusRecord::FollowFirmwareRecord(const StoredFirmwareRecord& stored) {
    const HKEY key = registryKey.handle.get();
    const RegistryRestore restore =
        RestoreFromFirmware({stored.size, stored.record}, ReadRegistryRunValues(key));
    if (!restore.dateRun && !restore.status) return;
    if (restore.dateRun) registryKey.lastError = SetQword(key, kDateRunValue, *restore.dateRun);
    if (restore.status) registryKey.lastError = SetDword(key, kStatusValue, *restore.status);
    if (MakeDurable() != ERROR_SUCCESS) throw RecordNotDurable{registryKey.lastError};
}

LONG RunStatusRecord::MakeDurable() {
    registryKey.lastError = RegFlushKey(registryKey.handle.get());
    return registryKey.lastError;
}

bool RunStatusRecord::Persist() {
    // The firmware record must never say more than a later run can find in the registry.
    if (MakeDurable() != ERROR_SUCCESS) throw RecordNotDurable{registryKey.lastError};
    const bool firmwareWritten = WriteFirmwareRecord();
    const LONG statusWritten =
        SetDword(registryKey.handle.get(), kStatusValue, static_cast<DWORD>(statusCode));
    registryKey.lastError = statusWritten;
    if (MakeDurable() != ERROR_SUCCESS) throw RecordNotDurable{registryKey.lastError};
    return firmwareWritten && statusWritten == ERROR_SUCCESS;
}
