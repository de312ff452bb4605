# Intune Remediations, detection script (run as SYSTEM, in 64-bit PowerShell). The program lies
# in a fixed place, put there by install-program.cmd (a Win32 app of its own):
#   $env:ProgramW6432\Vantrel\Cellkeeper Patch\cellkeeper-patch.exe
#
# Runs the tool's read-only /CHECK and shows its JSON line in the device status. Exit code 1
# ("issue found": the remediation runs) only for /CHECK's 1, a run would change the setting.
# Compliant (0), blocked (2) and cannot tell (3) need no remediation: the line says which.

$exe = Join-Path $env:ProgramW6432 'Vantrel\Cellkeeper Patch\cellkeeper-patch.exe'
if (-not (Test-Path -LiteralPath $exe -PathType Leaf)) {
    Write-Output "No program at $exe; deploy install-program.cmd first"
    exit 0
}
$line = & $exe /CHECK
$verdict = $LASTEXITCODE
Write-Output $line
if ($verdict -eq 1) {
    exit 1
}
exit 0
