#include "record/run_status_record.h"

#include "base/console.h"
#include "record/firmware_calls.h"
#include "record/run_date.h"

#include <vector>

namespace {

constexpr DWORD kFirmwareBufferStep = 1024;
// Non-volatile, runtime access, no boot-service access.
constexpr DWORD kFirmwareAttributes = 5;

constexpr const wchar_t* kDateRunValue = L"DateRun";
constexpr const wchar_t* kStatusValue = L"Status";

// The variable's data bytes, or nothing when the firmware has no usable variable.
std::vector<std::uint8_t> ReadFirmwareVariable() {
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
            return buffer;
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
            return {};
        }
        // The next multiple of the step above the present size.
        buffer.resize((size / kFirmwareBufferStep + 1) * kFirmwareBufferStep);
    }
}

void PrintPreviousRunDate(std::int64_t time) {
    WriteLine(L"Patch was previously run on " + FormatRunDate(time));
}

}  // namespace

RunStatusRecord& RunStatusRecord::Instance() {
    static RunStatusRecord record;
    return record;
}

void RunStatusRecord::RenewInstance() {
    RunStatusRecord& record = Instance();
    record.statusCode = static_cast<std::int32_t>(RunStatusCode::NoVerdict);
    record.force = false;
    record.registryKey.Open(kToolKeyName);
}

RunStatusRecord::RunStatusRecord(const std::wstring& keyName) { registryKey.Open(keyName); }

FirmwareRunRecord RunStatusRecord::ReadFirmwareRecord() {
    const std::vector<std::uint8_t> data = ReadFirmwareVariable();
    // An empty variable or one larger than a record is not ours to interpret.
    if (data.empty() || data.size() > FirmwareRunRecord::kSize) {
        return {};
    }
    return FirmwareRunRecord::Parse(data.data(), data.size());
}

bool RunStatusRecord::WriteFirmwareRecord() {
    LookUpFirmwareCalls();
    FirmwareRunRecord record;
    record.recordSize = FirmwareRunRecord::kSize;
    record.version = FirmwareRunRecord::kVersion;
    record.runTime = launchTime;
    record.statusCode = static_cast<std::uint32_t>(statusCode);
    FirmwareRunRecord::Bytes bytes = record.Serialize();
    const auto size = static_cast<DWORD>(bytes.size());
    const BOOL written =
        firmwareCalls.setVariableEx != nullptr
            ? firmwareCalls.setVariableEx(kFirmwareVariableName, kFirmwareVariableGuid,
                                          bytes.data(), size, kFirmwareAttributes)
            : SetFirmwareEnvironmentVariableW(kFirmwareVariableName, kFirmwareVariableGuid,
                                              bytes.data(), size);
    if (written == FALSE) {
        // Not reported: the registry still gets the status.
        static_cast<void>(GetLastError());
        return false;
    }
    return true;
}

bool RunStatusRecord::CheckPreviousRun() {
    const FirmwareRunRecord record = ReadFirmwareRecord();
    if (record.recordSize != 0 && record.version == FirmwareRunRecord::kVersion) {
        return CheckFirmwareRecord(record);
    }
    return CheckRegistryValues();
}

bool RunStatusRecord::CheckFirmwareRecord(const FirmwareRunRecord& record) {
    statusCode = static_cast<std::int32_t>(RunStatusCode::PreviouslyRun);
    WriteLine(L"Previous status code (from EFI variable): " + std::to_wstring(record.statusCode));
    PrintPreviousRunDate(record.runTime);
    WriteLine(std::wstring_view{});
    // Unsigned here: a stored 4294967295 does not settle the matter.
    return record.statusCode >= static_cast<std::uint32_t>(kFirstUnsettledStatus);
}

bool RunStatusRecord::CheckRegistryValues() {
    std::int64_t dateRun = 0;
    DWORD dateRunSize = sizeof(dateRun);
    registryKey.lastError =
        RegGetValueW(registryKey.handle, /*lpSubKey=*/nullptr, kDateRunValue, RRF_RT_REG_QWORD,
                     /*pdwType=*/nullptr, &dateRun, &dateRunSize);
    if (registryKey.lastError != static_cast<LONG>(ERROR_SUCCESS)) {
        // First run (or a "DateRun" of another type): remember when it started and go on.
        const std::int64_t now = launchTime;
        registryKey.lastError =
            RegSetValueExW(registryKey.handle, kDateRunValue, /*Reserved=*/0, REG_QWORD,
                           reinterpret_cast<const BYTE*>(&now), sizeof(now));
        return true;
    }
    statusCode = static_cast<std::int32_t>(RunStatusCode::PreviouslyRun);
    PrintPreviousRunDate(dateRun);

    DWORD status = 0;
    DWORD statusSize = sizeof(status);
    registryKey.lastError =
        RegGetValueW(registryKey.handle, /*lpSubKey=*/nullptr, kStatusValue, RRF_RT_REG_DWORD,
                     /*pdwType=*/nullptr, &status, &statusSize);
    if (registryKey.lastError != static_cast<LONG>(ERROR_SUCCESS)) {
        return true;
    }
    WriteLine(L"Previous status code: " + std::to_wstring(status));
    WriteLine(std::wstring_view{});
    // Signed here: a stored 4294967295 counts as -1 and settles the matter.
    return static_cast<std::int32_t>(status) >= kFirstUnsettledStatus;
}

bool RunStatusRecord::Persist() {
    const bool firmwareWritten = WriteFirmwareRecord();
    const auto status = static_cast<DWORD>(statusCode);
    registryKey.lastError =
        RegSetValueExW(registryKey.handle, kStatusValue, /*Reserved=*/0, REG_DWORD,
                       reinterpret_cast<const BYTE*>(&status), sizeof(status));
    return firmwareWritten && registryKey.lastError == static_cast<LONG>(ERROR_SUCCESS);
}
