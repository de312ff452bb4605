// The privilege that firmware-variable access needs.
#pragma once

// Enables "SeSystemEnvironmentPrivilege" on the thread's token, or the process token when the
// thread has none. Silent: without the privilege the firmware calls fail and the run decides
// from the registry alone.
void EnableSystemEnvironmentPrivilege();
