// The command-line options of a run.
#pragma once

// True when an argument after the program path is "/FORCE" in any letter case; every other
// argument is ignored.
bool HasForceOption(int argc, const wchar_t* const* argv);

// True when an argument after the program path asks for help: "/?", "-?", "/h", "-h", "/help"
// or "--help", in any letter case. A request for help changes nothing on the machine.
bool HasHelpOption(int argc, const wchar_t* const* argv);

// True when an argument is "/version" or "--version" in any letter case: the name and version
// are printed and nothing on the machine is touched.
bool HasVersionOption(int argc, const wchar_t* const* argv);

// True when an argument is "/check" or "--check" in any letter case: the run only reads and
// reports what it would do.
bool HasCheckOption(int argc, const wchar_t* const* argv);
