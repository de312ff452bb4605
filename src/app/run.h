// One run of the tool, from the banner to the exit code.
#pragma once

#include "app/run_lock.h"

// Exit codes of the process. A completed run exits with 0 whatever its status code.
inline constexpr int kExitCompleted = 0;
inline constexpr int kExitFatalError = 33;

// The exit code of a run that found another run holding the lock: a temporary state that a
// deployment tool retries. Each platform has its own source file.
int BusyExitCode() noexcept;

// Runs the tool on the process-wide run status record and returns the process exit code: 0, 33
// when an exception ends the run, BusyExitCode() when another run holds the machine for
// `lockWaitMilliseconds`, 34 or 35 when the tool's registry key cannot be opened. A request for
// help or the version prints its text and returns 0 before anything else happens; a check
// prints its JSON line and returns its own exit code (check_mode.h), writing nothing.
int RunCellkeeperPatch(int argc, const wchar_t* const* argv,
                       DWORD lockWaitMilliseconds = kRunLockWaitMilliseconds);
