#include "app/run.h"

// EX_TEMPFAIL: a temporary failure, worth trying again later.
int BusyExitCode() noexcept { return 75; }
