#include "app/run.h"

#include "base/console.h"
#include "app/privilege.h"
#include "app/run_lock.h"
#include "app/run_options.h"
#include "record/run_status_record.h"
#include "app/usage.h"
#include "bios/bios_constants.h"
#include "patch/charging_policy_patch.h"

#include <exception>
#include <string>

namespace {

// Reads the charging-policy setting into the patch; the first failure goes to lastError and
// leaves currentValue empty, which the patch reports as a missing setting.
void ReadChargingPolicy(ChargingPolicyPatch& patch) {
    HRESULT result = patch.ReadSettingValue(kChargingPolicySetting, patch.settingValue);
    if (result == S_OK) {
        result = patch.current.GetString(kCurrentValueProperty, patch.currentValue);
    }
    if (result != S_OK) {
        patch.lastError = result;
    }
}

int Run(int argc, const wchar_t* const* argv, DWORD lockWaitMilliseconds) {
    WriteLine("Vantrel Cellkeeper Patch");

    // Taken before the registry key is opened and held until the record is written.
    const RunLock lock(lockWaitMilliseconds);
    if (lock.state() == RunLock::State::kBusy) {
        WriteLine("FATAL ERROR: Another run of the patch is in progress");
        return kExitFatalError;
    }
    if (lock.state() == RunLock::State::kFailed) {
        WriteLine(L"FATAL ERROR: Unable to take the run lock; error code = " +
                  std::to_wstring(lock.error()));
        return kExitFatalError;
    }

    RunStatusRecord& record = RunStatusRecord::Instance();
    const LONG keyError = record.registryKey.lastError;
    if (keyError != static_cast<LONG>(ERROR_SUCCESS)) {
        const RunStatusCode code = keyError == static_cast<LONG>(ERROR_ACCESS_DENIED)
                                       ? RunStatusCode::RegistryAccessDenied
                                       : RunStatusCode::RegistryError;
        record.statusCode = static_cast<std::int32_t>(code);
        WriteLine(L"FATAL ERROR: Unable to access required Windows registry; error code = " +
                  std::to_wstring(keyError));
        return record.statusCode;
    }

    EnableSystemEnvironmentPrivilege();
    if (HasForceOption(argc, argv)) {
        record.force = true;
    }
    if (!record.CheckPreviousRun() && !record.force) {
        return kExitCompleted;
    }

    {
        ChargingPolicyPatch patch;
        ReadChargingPolicy(patch);
        patch.DecideAndPatch(record.force);
        record.Persist();
    }
    return kExitCompleted;
}

}  // namespace

int RunCellkeeperPatch(int argc, const wchar_t* const* argv, DWORD lockWaitMilliseconds) {
    try {
        // Before the record exists: a request for help opens, creates and writes nothing.
        if (HasHelpOption(argc, argv)) {
            PrintUsage();
            return kExitCompleted;
        }
        return Run(argc, argv, lockWaitMilliseconds);
    } catch (const std::exception& error) {
        WriteLine(std::string("FATAL ERROR: Exception occurred - ") + error.what());
    } catch (...) {
        WriteLine("FATAL ERROR: Application terminated abnormally");
    }
    return kExitFatalError;
}
