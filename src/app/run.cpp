#include "app/run.h"

#include "app/check_mode.h"
#include "app/check_verdict.h"
#include "app/privilege.h"
#include "app/restart_notice.h"
#include "app/run_lock.h"
#include "app/run_log.h"
#include "app/run_options.h"
#include "app/setup_password.h"
#include "app/usage.h"
#include "base/console.h"
#include "base/text.h"
#include "bios/named_texts.h"
#include "patch/charging_policy_patch.h"
#include "platform/machine_identity.h"
#include "record/run_status_record.h"
#include "record/status_meaning.h"

#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

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

// How a run ended: its exit code, its status code once the run has a record, and what the log
// explains beyond the console lines, in the order they are logged.
struct RunEnd {
    int exitCode;
    std::optional<std::int32_t> statusCode;
    std::vector<std::string> details;
    bool stoppedAtRecord = false;
    // A change that takes effect at the next start.
    bool restartPending = false;
};

// A machine text inside single quotes: a quote or a backslash in it is escaped, so that no
// text can close the field early and make the rest of its line read as the tool's own words.
std::string Quoted(const std::wstring& text) {
    std::string quoted = "'";
    for (const char c : ToUtf8(text)) {
        if (c == '\'' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted + "'";
}

std::string DecisionDetail(const RunStatusRecord& record) {
    return "decision: status code " + std::to_string(record.statusCode) + " (" +
           StatusMeaning(record.statusCode) + ")";
}

// What became of the firmware record: nothing to say when it was written in place.
std::optional<std::string> FirmwareDetail(const RunStatusRecord& record) {
    const std::string name = "firmware record " + ToUtf8(kFirmwareVariableName);
    if (record.firmwareError == ERROR_INVALID_FUNCTION) {
        return "no firmware variables: the registry alone keeps the record";
    }
    if (record.firmwareError != ERROR_SUCCESS) {
        return name + " not written: error " + std::to_string(record.firmwareError);
    }
    if (record.firmwareReplaced) return name + " of other attributes replaced";
    return std::nullopt;
}

std::string StoppedDetail(const RunStatusRecord& record) {
    const std::int64_t earlier = record.earlier.status.value_or(0);
    return "decision: stopped at an earlier record with status code " + std::to_string(earlier) +
           " (" + StatusMeaning(static_cast<std::int32_t>(earlier)) + ")";
}

// The exit code of a run that reached its end: 0, or with /EXITSTATUS the status code it
// recorded (or the earlier record's that it stopped at), and on Windows 3010 for a change that
// waits for the next start.
int CompletedExitCode(const RunOptions& options, std::int64_t status, bool restartPending) {
    if (!options.exitStatus) return kExitCompleted;
    if (status == 0 && restartPending && RestartExitCode() != 0) return RestartExitCode();
    return static_cast<int>(status);
}

RunEnd Run(const RunOptions& options, DWORD lockWaitMilliseconds, RunLog& log) {
    WriteLine("Vantrel Cellkeeper Patch");
    if (!log.refusal().empty()) WriteLine(log.refusal());

    // Taken before the registry key is opened and held until the record is on disk.
    const RunLock lock(lockWaitMilliseconds);
    if (lock.state() == RunLock::State::kBusy) {
        WriteLine("FATAL ERROR: Another run of the patch is in progress");
        return {BusyExitCode(), std::nullopt, {"busy: another run holds the lock"}};
    }
    if (lock.state() == RunLock::State::kFailed) {
        WriteLine(L"FATAL ERROR: Unable to take the run lock" + lock.FailureReason() +
                  L"; error code = " + std::to_wstring(lock.error()));
        // Only a run with administrator rights gets here denied: an object of the lock's name
        // that it may not use is held by another run (or an older version's), so it is worth
        // retrying, as a busy lock is.
        if (lock.error() == ERROR_ACCESS_DENIED) {
            return {BusyExitCode(), std::nullopt, {"busy: the run lock is denied to this run"}};
        }
        return {kExitFatalError, std::nullopt, {}};
    }
    if (lock.state() == RunLock::State::kHeld) log.RotateUnderLock();

    RunStatusRecord& record = RunStatusRecord::Instance();
    const LONG keyError = record.registryKey.lastError;
    if (keyError != ERROR_SUCCESS) {
        const RunStatusCode code = keyError == ERROR_ACCESS_DENIED
                                       ? RunStatusCode::RegistryAccessDenied
                                       : RunStatusCode::RegistryError;
        record.statusCode = static_cast<std::int32_t>(code);
        WriteLine(L"FATAL ERROR: Unable to access required Windows registry; error code = " +
                  std::to_wstring(keyError));
        return {record.statusCode, record.statusCode, {}};
    }

    EnableSystemEnvironmentPrivilege();
    record.force = options.force;
    if (!record.CheckPreviousRun() && !record.force) {
        const std::int64_t settled = record.earlier.status.value_or(0);
        return {CompletedExitCode(options, settled, false),
                record.statusCode,
                {StoppedDetail(record)},
                true};
    }

    // Read before anything of the firmware is touched: a source that cannot be used ends the
    // run without a status, so that the next run tries again once it is mended.
    const PasswordSource passwordSource = FindPasswordSource(options);
    PasswordReading password = ReadSetupPassword(passwordSource);
    if (!password.refusal.empty()) {
        WriteLine("FATAL ERROR: Unable to use the setup password: " + password.refusal);
        return {kExitFatalError, std::nullopt, {"setup password: " + password.refusal}};
    }

    RunEnd end{kExitCompleted, std::nullopt, {}};
    std::vector<std::string> changes;
    std::optional<std::string> passwordUse;
    {
        ChargingPolicyPatch patch;
        patch.setupPassword = std::move(password.password);
        ReadChargingPolicy(patch);
        const bool patched = patch.DecideAndPatch(record.force);
        if (patched && patch.valueBefore) {
            changes.push_back("change: " + ToUtf8(kChargingPolicySetting) + " " +
                              Quoted(*patch.valueBefore) + " -> " + Quoted(patch.currentValue));
            end.restartPending = ChangeWaitsForRestart(patch.ReadPendingReboot());
        }
        if (passwordSource.kind != PasswordSource::Kind::kNone) {
            // Where it came from, never what it is.
            passwordUse =
                "setup password: supplied from " + passwordSource.Describe() +
                (patch.passwordSent ? ", sent with the write" : ", not sent: no write needed it");
        }
        record.Persist();
    }
    end.statusCode = record.statusCode;
    end.details.push_back(DecisionDetail(record));
    if (passwordUse) end.details.push_back(*passwordUse);
    end.details.insert(end.details.end(), changes.begin(), changes.end());
    if (end.restartPending) {
        end.details.push_back("pending restart: the change takes effect at the next start" +
                              AnnounceRestart());
    }
    if (const std::optional<std::string> firmware = FirmwareDetail(record)) {
        end.details.push_back(*firmware);
    }
    end.exitCode = CompletedExitCode(options, record.statusCode, end.restartPending);
    return end;
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

// A machine text for the start line: quoted, as it may hold blanks and commas; "unknown" when
// the system has none.
std::string MachineText(const std::wstring& text) {
    return text.empty() ? std::string("unknown") : Quoted(text);
}

// "start: Vantrel Cellkeeper Patch 1.0.0, process 4242, host 'NB-0042', model 'Aerion 14 G3',
// BIOS 'R1.14.0', arguments: /FORCE"
void LogStart(RunLog& log, int argc, const wchar_t* const* argv) noexcept {
    if (!log.IsOpen()) return;
    try {
        const MachineIdentity machine = ReadMachineIdentity();
        std::string line = std::string("start: ") + ToolAndVersion() + ", process " +
                           std::to_string(GetCurrentProcessId()) + ", host " +
                           MachineText(machine.host) + ", model " + MachineText(machine.model) +
                           ", BIOS " + MachineText(machine.biosVersion) + ", arguments:";
        if (argc <= 1) line += " none";
        for (int i = 1; i < argc; ++i) {
            line += ' ' + LogArgument(argv[i]);
        }
        log.WriteLine(line);
    } catch (const std::exception&) {
        // Out of memory: the start line is lost, the run is not.
    }
}

// "end: status code 0, exit code 0, process 4242", or "end: fatal error: <what the console
// said>, exit code 33, process 4242": the process id keeps overlapping runs apart. With
// /EXITSTATUS the exit code says so.
void LogEnd(RunLog& log, std::string_view ending, std::string_view detail, int exitCode,
            bool exitStatus = false) noexcept {
    if (!log.IsOpen()) return;
    try {
        log.WriteLine("end: " + std::string(ending) + std::string(detail) + ", exit code " +
                      std::to_string(exitCode) + (exitStatus ? " (/EXITSTATUS)" : "") +
                      ", process " + std::to_string(GetCurrentProcessId()));
    } catch (const std::exception&) {
        // Out of memory: the end line is lost, the run's outcome is not.
    }
}

// A run that ends before it has a record (another run holds the machine) has no status code.
void LogRunEnd(RunLog& log, const RunEnd& end, bool exitStatus) noexcept {
    if (!log.IsOpen()) return;
    try {
        for (const std::string& detail : end.details) log.WriteLine(detail);
        if (end.stoppedAtRecord) {
            LogEnd(log, "stopped at an earlier record", "", end.exitCode, exitStatus);
        } else if (end.statusCode) {
            LogEnd(log, "status code ", std::to_string(*end.statusCode), end.exitCode, exitStatus);
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
int LoggedRun(int argc, const wchar_t* const* argv, const RunOptions& options,
              DWORD lockWaitMilliseconds) {
    std::string refusal;
    const std::wstring logFile = RunLogFile(refusal);
    RunLog log(logFile, RunLogLineEnd(), std::move(refusal));
    LogStart(log, argc, argv);
    const ConsoleLogScope logged(log);
    try {
        const RunEnd end = Run(options, lockWaitMilliseconds, log);
        LogRunEnd(log, end, options.exitStatus);
        return end.exitCode;
    } catch (const RecordNotDurable& error) {
        // The firmware record, where there is one, stays the truth: a later run mends the
        // registry from it. No success is told while the record is not on disk.
        WriteLine(L"FATAL ERROR: Unable to save the run record; error code = " +
                  std::to_wstring(error.error));
        LogEnd(log, "fatal error: the run record could not be made durable: error ",
               std::to_string(error.error) + ", status code " +
                   std::to_string(RunStatusRecord::Instance().statusCode),
               kExitFatalError);
    } catch (const PasswordNotSendable&) {
        // Nothing was sent: the firmware counted no attempt, and no status settles the matter.
        constexpr const char* kWhy =
            "the firmware takes it only as keyboard codes, which cannot carry a character "
            "beyond U+00FF";
        WriteLine(std::string("FATAL ERROR: Unable to use the setup password: ") + kWhy);
        LogEnd(log, "fatal error: Unable to use the setup password: ", kWhy, kExitFatalError);
    } catch (const std::exception& error) {
        WriteLine(std::string("FATAL ERROR: Exception occurred - ") + error.what());
        LogEnd(log, "fatal error: Exception occurred - ", error.what(), kExitFatalError);
    } catch (const _com_error& error) {
        WriteLine("FATAL ERROR: Application terminated abnormally");
        LogEnd(log,
               "fatal error: Application terminated abnormally: ", ProviderFailure(error.Error()),
               kExitFatalError);
    } catch (...) {
        WriteLine("FATAL ERROR: Application terminated abnormally");
        LogEnd(log, "fatal error: ", "Application terminated abnormally", kExitFatalError);
    }
    return kExitFatalError;
}

}  // namespace

int RunCellkeeperPatch(int argc, const wchar_t* const* argv, DWORD lockWaitMilliseconds) {
    RunOptions options;
    try {
        // Before the log and the record exist: help, the version and the check open, create
        // and write nothing.
        options = ReadRunOptions(argc, argv);
        switch (options.mode) {
            case RunMode::kHelp:
                PrintUsage();
                return kExitCompleted;
            case RunMode::kVersion:
                WriteLine(ToolAndVersion());
                return kExitCompleted;
            case RunMode::kCheck:
                return RunCheck(options);
            case RunMode::kRun:
                break;
        }
    } catch (const std::exception& error) {
        WriteLine(std::string("FATAL ERROR: Exception occurred - ") + error.what());
        return kExitFatalError;
    }
    return LoggedRun(argc, argv, options, lockWaitMilliseconds);
}
