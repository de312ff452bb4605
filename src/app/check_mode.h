// The read-only check: what a run without "/FORCE" would do on this machine, as one JSON line.
// It writes nothing at all (no registry key, no firmware variable, no log line, no lock). What
// it cannot read it names instead of failing, and a verdict that depends on it is unknown.
#pragma once

#include "app/check_verdict.h"
#include "app/run_options.h"

// Prints the JSON line and returns the check's exit code. `options` name the setup password's
// source, which the check reads as a run would.
int RunCheck(const RunOptions& options) noexcept;
