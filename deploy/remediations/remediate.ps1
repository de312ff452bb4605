# Intune Remediations, remediation script (run as SYSTEM, in 64-bit PowerShell), started when
# detect.ps1 found that a run would change the setting. Suspends BitLocker for one restart,
# then runs the tool from its fixed place with /EXITSTATUS and shows the outcome.
#
# Exit code 0 when the setting was changed (0, or 3010: the change takes effect at the next
# start; Remediations does not restart, the user's next restart completes it); otherwise the
# tool's exit code, and 1603 when BitLocker is on and could not be suspended (nothing changed).
# Intune then runs detect.ps1 again: compliant means "Fixed".

$exe = Join-Path $env:ProgramW6432 'Vantrel\Cellkeeper Patch\cellkeeper-patch.exe'
if (-not (Test-Path -LiteralPath $exe -PathType Leaf)) {
    Write-Output "No program at $exe"
    exit 1603
}

function Suspend-BitLockerForOneRestart {
    if (-not (Get-Command Get-BitLockerVolume -ErrorAction SilentlyContinue)) {
        return $true  # no BitLocker on this edition of Windows
    }
    $volume = Get-BitLockerVolume -MountPoint $env:SystemDrive -ErrorAction SilentlyContinue
    if ($null -eq $volume -or $volume.ProtectionStatus -ne 'On') {
        return $true
    }
    try {
        Suspend-BitLocker -MountPoint $env:SystemDrive -RebootCount 1 -ErrorAction Stop | Out-Null
        return $true
    } catch {
        Write-Output "BitLocker could not be suspended: $($_.Exception.Message)"
        return $false
    }
}

if (-not (Suspend-BitLockerForOneRestart)) {
    exit 1603
}
$lines = & $exe /EXITSTATUS
$code = $LASTEXITCODE
# Intune shows one line of output: the tool's console lines, joined.
Write-Output ("exit code ${code}: " + ($lines -join ' | '))
if ($code -eq 0 -or $code -eq 3010) {
    exit 0
}
exit $code
