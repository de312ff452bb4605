// One run of the tool, from the banner to the exit code.
#pragma once

#include "app/run_lock.h"

// Exit codes of the process. A completed run exits with 0 whatever its status code.
inline constexpr int kExitCompleted = 0;
inline constexpr int kExitFatalError = 33;

// Runs the tool on the process-wide run status record and returns the process exit code: 0, 33
// when an exception ends the run or another run holds the machine for `lockWaitMilliseconds`,
// 34 or 35 when the tool's registry key cannot be opened. A request for help prints the usage
// text and returns 0 before anything else happens.
int RunCellkeeperPatch(int argc, const wchar_t* const* argv,
                       DWORD lockWaitMilliseconds = kRunLockWaitMilliseconds);
