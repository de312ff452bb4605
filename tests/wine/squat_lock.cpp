// Stands in the run lock's way, then starts the program given on the command line (with its
// arguments) and ends with that program's exit code:
//   squat_lock PROGRAM...         an event named "Global\cellkeeper-patch", as a standard user
//                                 could create under the lock's old name;
//   squat_lock --hold PROGRAM...  the run lock itself, held as another run holds it; the
//                                 program's whole exit code also goes to standard error, as
//                                 Wine hands Linux only its low 8 bits.
#include "app/run_lock.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <string_view>

namespace {

int RunProgram(int first, int argc, wchar_t** argv) {
    std::wstring command;
    for (int i = first; i < argc; ++i) {
        if (i > first) command += L' ';
        command += L'"' + std::wstring(argv[i]) + L'"';
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (CreateProcessW(/*lpApplicationName=*/nullptr, command.data(), nullptr, nullptr,
                       /*bInheritHandles=*/FALSE, 0, nullptr, nullptr, &startup,
                       &process) == FALSE) {
        return 4;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 1;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(exitCode);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc >= 3 && std::wstring_view(argv[1]) == L"--hold") {
        const RunLock held(/*waitMilliseconds=*/0);
        if (held.state() != RunLock::State::kHeld) return 3;
        const int exitCode = RunProgram(2, argc, argv);
        std::fprintf(stderr, "exit code %d\n", exitCode);
        return exitCode;
    }
    if (argc < 2) return 2;
    HANDLE squat = CreateEventW(/*lpEventAttributes=*/nullptr, /*bManualReset=*/TRUE,
                                /*bInitialState=*/FALSE, L"Global\\cellkeeper-patch");
    if (squat == nullptr) return 3;
    const int exitCode = RunProgram(1, argc, argv);
    CloseHandle(squat);
    return exitCode;
}
