// Runs the built program the way a deployment system does, for end-to-end tests, and finds the
// sample machines of the checkout.
#pragma once

#include <filesystem>
#include <string>

struct ProgramOutcome {
    int exitCode = -1;
    std::string output;
};

// Runs `program` with `arguments` (already quoted for the shell) on the machine that
// CELLKEEPER_ROOT names, in the time zone UTC, behind `prefix` (a command that changes the user,
// for example) when one is given. Standard output is captured; standard error is left alone.
ProgramOutcome RunProgram(const std::string& arguments, const std::string& prefix = "",
                          const std::filesystem::path& program = CELLKEEPER_PATCH_EXE);

// examples/machines/<name> of the checkout.
std::filesystem::path SampleMachine(const char* name);
