@echo off
rem Puts cellkeeper-patch.exe where the Remediations scripts run it:
rem   %ProgramW6432%\Vantrel\Cellkeeper Patch\cellkeeper-patch.exe (usually C:\Program Files\...).
rem Only administrators may write there, so what SYSTEM later runs is what was placed.
rem Deploy it as a Win32 app of its own (Intune) with cellkeeper-patch.exe beside it:
rem   install command   install-program.cmd
rem   detection rule    File: %ProgramW6432%\Vantrel\Cellkeeper Patch, cellkeeper-patch.exe exists
rem It copies and changes nothing else; the Remediations scripts decide when the tool runs.
rem ProgramW6432 is the 64-bit Program Files also for a 32-bit cmd.exe (the Intune agent's).
setlocal
set "target=%ProgramW6432%\Vantrel\Cellkeeper Patch"
if not exist "%~dp0cellkeeper-patch.exe" exit /b 1603
if not exist "%target%\" mkdir "%target%"
if not exist "%target%\" exit /b 1603
copy /y "%~dp0cellkeeper-patch.exe" "%target%\cellkeeper-patch.exe" >nul
if errorlevel 1 exit /b 1603
exit /b 0
