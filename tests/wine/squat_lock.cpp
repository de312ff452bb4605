// Squats the run lock's old name as a standard user could: creates an event named
// "Global\cellkeeper-patch", keeps it open, then starts the program given on the command line
// (with its arguments) and ends with that program's exit code.
#include <windows.h>

#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    HANDLE squat = CreateEventW(/*lpEventAttributes=*/nullptr, /*bManualReset=*/TRUE,
                                /*bInitialState=*/FALSE, L"Global\\cellkeeper-patch");
    if (squat == nullptr) return 3;
    std::wstring command;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) command += L' ';
        command += L'"' + std::wstring(argv[i]) + L'"';
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (CreateProcessW(/*lpApplicationName=*/nullptr, command.data(), nullptr, nullptr,
                       /*bInheritHandles=*/FALSE, 0, nullptr, nullptr, &startup,
                       &process) == FALSE) {
        CloseHandle(squat);
        return 4;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 1;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    CloseHandle(squat);
    return static_cast<int>(exitCode);
}
