// The short usage text printed for a request for help.
#pragma once

// Writes the usage text: the option, what a run does, where the record lives, the exit codes
// and the tool's version.
void PrintUsage();

// "Vantrel Cellkeeper Patch" and its version: the version line, which also heads the usage text,
// and the start of the log's first line of a run.
const char* ToolAndVersion();
