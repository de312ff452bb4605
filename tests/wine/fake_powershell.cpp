// Test helper: stands in for powershell.exe while a deployment script runs under Wine, which has
// no PowerShell of its own. Appends its command line to the file that FAKE_POWERSHELL_LOG names
// and exits with FAKE_POWERSHELL_EXIT (0 when unset), so a test sees whether the script asked
// for BitLocker's suspension and what happens when that fails.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>

int wmain() {
    const wchar_t* log_path = _wgetenv(L"FAKE_POWERSHELL_LOG");
    if (log_path != nullptr) {
        if (FILE* log = _wfopen(log_path, L"a, ccs=UTF-8")) {
            std::fwprintf(log, L"%ls\n", GetCommandLineW());
            std::fclose(log);
        }
    }
    const wchar_t* exit_code = _wgetenv(L"FAKE_POWERSHELL_EXIT");
    return exit_code != nullptr ? _wtoi(exit_code) : 0;
}
