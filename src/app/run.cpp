#include "app/run.h"

#include "base/console.h"
#include "base/text.h"
#include "app/privilege.h"
#include "app/run_lock.h"
#include "app/run_log.h"
#include "app/run_options.h"
#include "record/run_status_record.h"
#include "app/usage.h"
#include "bios/bios_constants.h"
#include "patch/charging_policy_patch.h"

#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <string_view>

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

// How a run ended: its exit code, and its status code once the run has a record.
struct RunEnd {
    int exitCode;
    std::optional<std::int32_t> statusCode;
};

RunEnd Run(int argc, const wchar_t* const* argv, DWORD lockWaitMilliseconds, RunLog& log) {
    WriteLine("Vantrel Cellkeeper Patch");
    if (!log.refusal().empty()) WriteLine(log.refusal());

    // Taken before the registry key is opened and held until the record is written.
    const RunLock lock(lockWaitMilliseconds);
    if (lock.state() == RunLock::State::kBusy) {
        WriteLine("FATAL ERROR: Another run of the patch is in progress");
        return {kExitFatalError, std::nullopt};
    }
    if (lock.state() == RunLock::State::kFailed) {
        WriteLine(L"FATAL ERROR: Unable to take the run lock" + lock.FailureReason() +
                  L"; error code = " + std::to_wstring(lock.error()));
        return {kExitFatalError, std::nullopt};
    }
    if (lock.state() == RunLock::State::kHeld) log.RotateUnderLock();

    RunStatusRecord& record = RunStatusRecord::Instance();
    const LONG keyError = record.registryKey.lastError;
    if (keyError != static_cast<LONG>(ERROR_SUCCESS)) {
        const RunStatusCode code = keyError == static_cast<LONG>(ERROR_ACCESS_DENIED)
                                       ? RunStatusCode::RegistryAccessDenied
                                       : RunStatusCode::RegistryError;
        record.statusCode = static_cast<std::int32_t>(code);
        WriteLine(L"FATAL ERROR: Unable to access required Windows registry; error code = " +
                  std::to_wstring(keyError));
        return {record.statusCode, record.statusCode};
    }

    EnableSystemEnvironmentPrivilege();
    if (HasForceOption(argc, argv)) {
        record.force = true;
    }
    if (!record.CheckPreviousRun() && !record.force) {
        return {kExitCompleted, record.statusCode};
    }

    {
        ChargingPolicyPatch patch;
        ReadChargingPolicy(patch);
        patch.DecideAndPatch(record.force);
        record.Persist();
    }
    return {kExitCompleted, record.statusCode};
}

// An argument as a reader can tell it apart from its neighbours: quoted when it is empty or
// holds a blank or a quote.
std::string LogArgument(const wchar_t* argument) {
    const std::string text = ToUtf8(argument);
    if (!text.empty() && text.find_first_of(" \t\"") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"') quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

// "start: Vantrel Cellkeeper Patch 1.0.0, process 4242, arguments: /FORCE"
void LogStart(RunLog& log, int argc, const wchar_t* const* argv) noexcept {
    if (!log.IsOpen()) return;
    try {
        std::string line = "start: Vantrel Cellkeeper Patch " CELLKEEPER_VERSION ", process " +
                           std::to_string(GetCurrentProcessId()) + ", arguments:";
        if (argc <= 1) line += " none";
        for (int i = 1; i < argc; ++i) {
            line += ' ' + LogArgument(argv[i]);
        }
        log.WriteLine(line);
    } catch (const std::exception&) {
        // Out of memory: the start line is lost, the run is not.
    }
}

// "end: status code 0, exit code 0", or "end: fatal error: <what the console said>, exit code 33".
void LogEnd(RunLog& log, std::string_view ending, std::string_view detail, int exitCode) noexcept {
    if (!log.IsOpen()) return;
    try {
        log.WriteLine("end: " + std::string(ending) + std::string(detail) + ", exit code " +
                      std::to_string(exitCode));
    } catch (const std::exception&) {
        // Out of memory: the end line is lost, the run's outcome is not.
    }
}

// A run that ends before it has a record (another run holds the machine) has no status code.
void LogRunEnd(RunLog& log, const RunEnd& end) noexcept {
    if (!log.IsOpen()) return;
    try {
        if (end.statusCode) {
            LogEnd(log, "status code ", std::to_string(*end.statusCode), end.exitCode);
        } else {
            LogEnd(log, "no status code", "", end.exitCode);
        }
    } catch (const std::exception&) {
    }
}

// Sends the console lines to the run log for as long as it lives.
class ConsoleLogScope {
  public:
    explicit ConsoleLogScope(RunLog& log)
        : previous_(SetConsoleCopy(log.IsOpen() ? &log : nullptr)) {}
    ~ConsoleLogScope() { SetConsoleCopy(previous_); }
    ConsoleLogScope(const ConsoleLogScope&) = delete;
    ConsoleLogScope& operator=(const ConsoleLogScope&) = delete;

  private:
    ConsoleCopy* previous_;
};

// The run with its log: every console line is copied to it, with a start and an end line.
int LoggedRun(int argc, const wchar_t* const* argv, DWORD lockWaitMilliseconds) {
    std::string refusal;
    const std::wstring logFile = RunLogFile(refusal);
    RunLog log(logFile, RunLogLineEnd(), std::move(refusal));
    LogStart(log, argc, argv);
    const ConsoleLogScope logged(log);
    try {
        const RunEnd end = Run(argc, argv, lockWaitMilliseconds, log);
        LogRunEnd(log, end);
        return end.exitCode;
    } catch (const std::exception& error) {
        WriteLine(std::string("FATAL ERROR: Exception occurred - ") + error.what());
        LogEnd(log, "fatal error: Exception occurred - ", error.what(), kExitFatalError);
    } catch (...) {
        WriteLine("FATAL ERROR: Application terminated abnormally");
        LogEnd(log, "fatal error: ", "Application terminated abnormally", kExitFatalError);
    }
    return kExitFatalError;
}

}  // namespace

int RunCellkeeperPatch(int argc, const wchar_t* const* argv, DWORD lockWaitMilliseconds) {
    try {
        // Before the log and the record exist: a request for help opens, creates and writes
        // nothing.
        if (HasHelpOption(argc, argv)) {
            PrintUsage();
            return kExitCompleted;
        }
    } catch (const std::exception& error) {
        WriteLine(std::string("FATAL ERROR: Exception occurred - ") + error.what());
        return kExitFatalError;
    }
    return LoggedRun(argc, argv, lockWaitMilliseconds);
}
