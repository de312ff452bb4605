# Install program of the Win32 app (Intune) and of the application (Configuration Manager); it
# lies beside cellkeeper-patch.exe in the content. The command lines are in install-command.txt.
#
# Unless /CHECK says that a run leaves the setting as it is (0 compliant, 2 blocked), BitLocker
# is suspended for one restart first, so that a protector measuring the firmware settings does
# not ask for the recovery key at the next start; a machine that needs no change keeps its
# protection. "Cannot tell" (3) suspends too: the run may still change the setting. Then the
# tool runs with /EXITSTATUS, and its exit code is this script's: 0 done, 3010 done and the change takes effect at the next start, 3, 4, 5, 9 not
# applicable, 7, 8 blocked, 36 retry, 1618 busy, anything else failed (the return-code table of
# the administrators' guide). 1603: BitLocker is on and could not be suspended; nothing changed.

$exe = Join-Path $PSScriptRoot 'cellkeeper-patch.exe'
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

& $exe /CHECK
$leavesSettingAlone = $LASTEXITCODE -eq 0 -or $LASTEXITCODE -eq 2
if (-not $leavesSettingAlone -and -not (Suspend-BitLockerForOneRestart)) {
    exit 1603
}
& $exe /EXITSTATUS
exit $LASTEXITCODE
