#include "app/run.h"

// ERROR_INSTALL_ALREADY_RUNNING, which deployment tools retry by default.
int BusyExitCode() noexcept { return 1618; }
