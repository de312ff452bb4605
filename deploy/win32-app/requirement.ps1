# Requirement of the Win32 app (Intune: requirement script, output data type Boolean, "Equals
# Yes") and of the application (Configuration Manager: a global condition, setting type Script,
# data type Boolean, required to equal True).
#
# Prints True on a machine the tool is for: maker Vantrel, at least one battery, and Vantrel's
# BIOS provider (root\Vantrel\InstrumentedBIOS) offering the setting "Cellkeeper". Everything
# else prints False, so desktops and other makers' machines show as "Not applicable" instead
# of failed installs. Reads only; runs as SYSTEM in 64-bit PowerShell.

function Test-CellkeeperTarget {
    try {
        $product = Get-CimInstance -ClassName Win32_ComputerSystemProduct -ErrorAction Stop
        if ($product.Vendor -ne 'Vantrel') {
            return $false
        }
        $batteries = @(Get-CimInstance -ClassName Win32_Battery -ErrorAction Stop)
        if ($batteries.Count -eq 0) {
            return $false
        }
        # A missing namespace or class is an error: not a machine the tool can patch.
        $setting = Get-CimInstance -Namespace 'root\Vantrel\InstrumentedBIOS' `
            -ClassName Vantrel_BIOSSetting -Filter "Name='Cellkeeper'" -ErrorAction Stop
        return $null -ne $setting
    } catch {
        return $false
    }
}

Test-CellkeeperTarget
exit 0
