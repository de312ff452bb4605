# Detection of the Win32 app (Intune: "Use a custom detection script", 64-bit) and of the
# application (Configuration Manager: detection method "Use a custom script", PowerShell).
#
# Both read a line on standard output with exit code 0 as "installed" and nothing as "not
# installed". Installed means the tool's record holds an outcome that the return-code table of
# the administrators' guide calls done: 0 (patched, or no change needed) or not applicable
# (3, 4, 5, 9). Blocked (7, 8), failed (1, 2, 10, 36) and no record at all are not installed.

$doneStatusCodes = @(0, 3, 4, 5, 9)

# The tool writes the 64-bit view; a 32-bit host process would otherwise read WOW6432Node.
$machine = [Microsoft.Win32.RegistryKey]::OpenBaseKey(
    [Microsoft.Win32.RegistryHive]::LocalMachine, [Microsoft.Win32.RegistryView]::Registry64)
$key = $machine.OpenSubKey('SOFTWARE\Vantrel\Vantrel Cellkeeper Patch')
if ($null -ne $key) {
    $status = $key.GetValue('Status')
    $key.Close()
    if ($status -is [int] -and $doneStatusCodes -contains $status) {
        Write-Output "Vantrel Cellkeeper Patch: status $status"
    }
}
exit 0
