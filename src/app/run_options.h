// The command line of the tool, read once into the options that steer a run.
#pragma once

#include <optional>
#include <string>

// What the process does; when several are asked for, the first of this order wins: help, the
// version, the check, a run. Help and the version change nothing on the machine; the check
// only reads.
enum class RunMode { kRun, kHelp, kVersion, kCheck };

struct RunOptions {
    RunMode mode = RunMode::kRun;
    // "/FORCE": write the new value whatever the current value is, and run again after an
    // earlier run settled the matter.
    bool force = false;
    // "/EXITSTATUS": the exit code of a run is its status code, for deployment systems that
    // act on exit codes alone.
    bool exitStatus = false;
    // "/PASSWORDFILE:<path>" or "--password-file=<path>": the file that holds the BIOS setup
    // password, a path of the system's own (the last one given counts). Never the password.
    std::optional<std::wstring> passwordFile = std::nullopt;

    bool operator==(const RunOptions&) const = default;
};

// Reads the arguments after the program path. Each option is recognised in any letter case of
// its ASCII letters and wherever it stands, any number of times; every other argument is
// ignored, so that silent-install switches do no harm.
RunOptions ReadRunOptions(int argc, const wchar_t* const* argv);
