// Decides whether this machine is a target of the charging-policy patch.
#pragma once

// Gathers the profile, records it, probes the firmware security facts and applies the six tests
// in order. On refusal sets the run's status code to the reason and returns false; on
// acceptance leaves the status code alone and returns true. Prints nothing.
bool QualifyPlatform();
