#include "app/restart_notice.h"

// A firmware setting changed from Windows takes effect at the next start, whatever the
// provider says.
bool ChangeWaitsForRestart(std::optional<bool> /*pendingReboot*/) noexcept { return true; }

// ERROR_SUCCESS_REBOOT_REQUIRED: Intune and Configuration Manager restart softly on it.
int RestartExitCode() noexcept { return 3010; }

std::string AnnounceRestart() noexcept { return {}; }
