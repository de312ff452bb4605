// The process-wide record of the current run: its status code, the "/FORCE" flag and the tool's
// registry key. It reads what an earlier run left (firmware variable, else the registry values
// "DateRun" and "Status") and persists this run's status code at the end.
#pragma once

#include "record/earlier_run.h"
#include "record/firmware_run_record.h"
#include "record/registry_key.h"
#include "record/run_status_code.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// The name of the tool's key below "SOFTWARE\Vantrel\".
inline constexpr const wchar_t* kToolKeyName = L"Vantrel Cellkeeper Patch";

// The firmware variable that carries the run record across runs.
inline constexpr const wchar_t* kFirmwareVariableName = L"cellkeeper_patch";
inline constexpr const wchar_t* kFirmwareVariableGuid = L"{994E9A98-28EB-4244-B5C6-1D92BE5321BD}";

// The firmware variable as it stands, read without writing anything: for a read-only look at
// the machine.
struct StoredFirmwareRecord {
    bool present = false;  // a variable of a record's size or less was read
    FirmwareRunRecord record;
    std::size_t size = 0;             // its data bytes
    std::optional<DWORD> attributes;  // known only through the extended read call
    DWORD error = ERROR_SUCCESS;      // the read's error when there is no variable
};
StoredFirmwareRecord ReadStoredFirmwareRecord();

// True when a firmware read's error says only that there is no record: no such variable, or a
// firmware without variables. Any other error (no privilege, a read fault) leaves the record
// unknown.
bool MeansNoFirmwareRecord(DWORD error);

// "DateRun" and "Status" of an open key, each read with its own type only.
RegistryRunValues ReadRegistryRunValues(HKEY key);

// A durable point of the record that failed: a later run could not find what this one wrote.
// Raised where the run must not go on (before the firmware changes) and reported at the top.
struct RecordNotDurable {
    LONG error;
};

class RunStatusRecord {
  public:
    // The process-wide record, created on first use (once, even with concurrent first calls):
    // status code 1, no force, the tool's key opened or created. Never fails; an unusable key
    // shows in registryKey.lastError.
    static RunStatusRecord& Instance();

    // Puts the process-wide record back to how a new process finds it, on the machine as it is
    // now: for a harness that runs the tool many times in one process.
    static void RenewInstance();

    // A record on the key `keyName`; the process-wide one uses kToolKeyName. Tests make their
    // own records on keys of their own.
    explicit RunStatusRecord(const std::wstring& keyName = kToolKeyName);
    RunStatusRecord(const RunStatusRecord&) = delete;
    RunStatusRecord& operator=(const RunStatusRecord&) = delete;

    // Reads and prints what an earlier run left; true when this run must go on. May set
    // statusCode to PreviouslyRun and may write "DateRun". A run that stops at a settled
    // firmware record brings the registry in line with it (RestoreFromFirmware) and makes that
    // durable; a failed flush then raises RecordNotDurable.
    bool CheckPreviousRun();

    // Makes what the key holds durable, so that a later run finds it even after a crash or a
    // power loss: called before the firmware changes and at the end of a run. The flush's
    // result, also kept in registryKey.lastError.
    LONG MakeDurable();

    // Writes the firmware variable, then "Status", and makes them durable; true when both were
    // written. Raises RecordNotDurable when the record cannot be made durable: before the
    // firmware variable changes (what the run wrote so far), or after "Status" was written.
    bool Persist();

    // The firmware variable's record; all zero when there is no usable variable.
    FirmwareRunRecord ReadFirmwareRecord();

    // Writes this run's record to the firmware variable with the attributes non-volatile,
    // boot-service and runtime access (7); a record stored with other attributes is replaced.
    // True on success.
    bool WriteFirmwareRecord();

    std::int32_t statusCode = static_cast<std::int32_t>(RunStatusCode::NoVerdict);
    bool force = false;
    // What CheckPreviousRun found of an earlier run.
    EarlierRun earlier;
    // The error of the last firmware record write (0 when it was written), and whether a record
    // of other attributes stood in the way and was replaced or tried.
    DWORD firmwareError = ERROR_SUCCESS;
    bool firmwareReplaced = false;
    RegistryKey registryKey;

  private:
    void FollowFirmwareRecord(const StoredFirmwareRecord& stored);
};
