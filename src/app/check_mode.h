// The read-only check: what a run without "/FORCE" would do on this machine, as one JSON line.
// It writes nothing at all (no registry key, no firmware variable, no log line, no lock) and
// needs no rights beyond reading; what it cannot read it reports instead of failing.
#pragma once

// Exit codes of the check.
inline constexpr int kCheckCompliant = 0;   // the setting holds the new value, or no target
inline constexpr int kCheckWouldPatch = 1;  // a run would change the setting now
inline constexpr int kCheckBlocked = 2;     // the old value stays and a run would not change it
inline constexpr int kCheckUnknown = 3;     // no vendor provider, no rights, an error

// Prints the JSON line and returns the check's exit code.
int RunCheck() noexcept;
