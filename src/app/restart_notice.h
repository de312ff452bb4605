// A firmware change that takes effect at the next start, told in each platform's own way: on
// Windows the exit code 3010 (with /EXITSTATUS), which deployment systems act on with a soft
// restart; on Linux the files that Debian's tools read for a pending restart.
#pragma once

#include <optional>
#include <string>

// Whether a change the run made waits for the next start: `pendingReboot` is what the provider
// said after the write, where it says anything. Each platform has its own source file.
bool ChangeWaitsForRestart(std::optional<bool> pendingReboot) noexcept;

// The exit code of a run with /EXITSTATUS whose change waits for the next start in place of 0;
// 0 where the platform tells it otherwise.
int RestartExitCode() noexcept;

// Leaves the platform's notice of a pending restart, where it has one; the words the log line
// adds about it (empty where there is nothing to add).
std::string AnnounceRestart() noexcept;
