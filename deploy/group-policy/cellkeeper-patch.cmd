@echo off
rem Group Policy start-up script: runs as SYSTEM at every start, before anyone logs on. Put it
rem beside cellkeeper-patch.exe in a folder that "Domain Computers" can read, for example
rem \\corp.example\NETLOGON\Vantrel. After a settled run the tool stops at its record at once.
rem
rem Only on machines whose maker is Vantrel. Unless /CHECK says that a run leaves the setting as
rem it is, BitLocker is suspended for one restart first. The tool runs with /EXITSTATUS; one line
rem per start goes to
rem   %ProgramData%\Vantrel\Cellkeeper Patch\startup-script.log
rem beside the tool's own log (the folder is the tool's, made with its rights; without it, no
rem line). The script ends with the tool's exit code; Group Policy itself acts on none, so the
rem line says what the code means, and the next start handles whatever is not done yet.
setlocal
set "exe=%~dp0cellkeeper-patch.exe"
set "log=%ProgramData%\Vantrel\Cellkeeper Patch\startup-script.log"
set "powershell=%SystemRoot%\System32\WindowsPowerShell\v1.0\powershell.exe"

set "maker="
for /f "tokens=1,2,*" %%a in ('reg query "HKLM\HARDWARE\DESCRIPTION\System\BIOS" /v SystemManufacturer 2^>nul') do (
    if /i "%%a"=="SystemManufacturer" set "maker=%%c"
)
if /i not "%maker%"=="Vantrel" exit /b 0
if not exist "%exe%" exit /b 1603

rem /CHECK: 0 compliant and 2 blocked change nothing; 1 would patch, 3 cannot tell.
"%exe%" /CHECK >nul
set "verdict=%errorlevel%"
if "%verdict%"=="0" goto run
if "%verdict%"=="2" goto run
"%powershell%" -NoProfile -NonInteractive -ExecutionPolicy Bypass -Command "$v = Get-BitLockerVolume -MountPoint $env:SystemDrive -ErrorAction SilentlyContinue; if ($v -and $v.ProtectionStatus -eq 'On') { Suspend-BitLocker -MountPoint $env:SystemDrive -RebootCount 1 -ErrorAction Stop | Out-Null }; exit 0"
if errorlevel 1 (
    call :log 1603 "failed: BitLocker could not be suspended; nothing changed, the next start tries again"
    exit /b 1603
)

:run
"%exe%" /EXITSTATUS
set "code=%errorlevel%"
set "outcome=failed: see the tool's log"
if "%code%"=="0" set "outcome=done"
if "%code%"=="3010" set "outcome=done, restart pending: the change takes effect at the next start"
for %%s in (3 4 5 9) do if "%code%"=="%%s" set "outcome=not applicable"
for %%s in (7 8) do if "%code%"=="%%s" set "outcome=blocked: someone must act, see the tool's log"
if "%code%"=="36" set "outcome=failed: the firmware write failed; the next start tries again"
if "%code%"=="1618" set "outcome=busy: another run held the lock; the next start tries again"
call :log %code% "%outcome%"
exit /b %code%

:log
if exist "%ProgramData%\Vantrel\Cellkeeper Patch\" >>"%log%" echo %date% %time% exit code %1: %~2
exit /b 0
