// The short usage text printed for a request for help.
#pragma once

// Writes the usage text: the option, what a run does, where the record lives, the exit codes
// and the tool's version.
void PrintUsage();
